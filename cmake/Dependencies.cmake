# Third-party libraries, all from Debian packages installed by scripts/setup.

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(nlohmann_json 3.11 REQUIRED)
find_package(ICU 72 REQUIRED COMPONENTS uc i18n)
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Svg Network DBus Multimedia)
find_package(QCoro6 REQUIRED COMPONENTS Core)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavcodec libavutil libswscale libswresample libavdevice)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET
  xcb xcb-shm xcb-xfixes xcb-composite xcb-damage xcb-randr xcb-xinput xcb-keysyms xcb-render)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)

# libyuv ships no pkg-config or CMake file on Debian.
find_path(LIBYUV_INCLUDE_DIR libyuv.h REQUIRED)
find_library(LIBYUV_LIBRARY NAMES yuv libyuv.so.0 REQUIRED)
add_library(zarvex_libyuv INTERFACE)
target_include_directories(zarvex_libyuv SYSTEM INTERFACE ${LIBYUV_INCLUDE_DIR})
target_link_libraries(zarvex_libyuv INTERFACE ${LIBYUV_LIBRARY})
add_library(Zarvex::libyuv ALIAS zarvex_libyuv)

if(ZARVEX_BUILD_TESTS)
  find_package(GTest REQUIRED)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
endif()
if(ZARVEX_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()

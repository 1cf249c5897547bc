#pragma once

#include <string>
#include <vector>

#include "capture/permissions.h"

namespace zarvex::testing {

// Scripted permission answers; records every call in `calls` so tests can
// check order and whether the user was prompted.
class FakePermissionAuthority : public PermissionAuthority {
  public:
    bool screenGranted = true;
    bool screenRequestGrants = true;
    AuthorizationStatus audioStatus = AuthorizationStatus::authorized;
    AuthorizationStatus videoStatus = AuthorizationStatus::authorized;
    bool audioRequestGrants = true;
    bool videoRequestGrants = true;
    std::vector<std::string> calls;

    bool screenCaptureGranted() override {
        calls.push_back("screen?");
        return screenGranted;
    }
    bool requestScreenCapture() override {
        calls.push_back("request screen");
        return screenRequestGrants;
    }
    AuthorizationStatus status(CaptureDeviceKind kind) override {
        calls.push_back(kind == CaptureDeviceKind::audio ? "audio?" : "video?");
        return kind == CaptureDeviceKind::audio ? audioStatus : videoStatus;
    }
    bool requestAccess(CaptureDeviceKind kind) override {
        calls.push_back(kind == CaptureDeviceKind::audio ? "request audio" : "request video");
        return kind == CaptureDeviceKind::audio ? audioRequestGrants : videoRequestGrants;
    }
};

}  // namespace zarvex::testing

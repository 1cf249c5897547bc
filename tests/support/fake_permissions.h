#pragma once

#include <string>

#include "capture/permissions.h"

namespace zarvex::testing {

// Scripted permission answers; notes every call in `calls` ("screen? request
// screen audio?") so tests can check order and whether the user was prompted.
class FakePermissionAuthority : public PermissionAuthority {
  public:
    bool screenGranted = true;
    bool screenRequestGrants = true;
    AuthorizationStatus audioStatus = AuthorizationStatus::authorized;
    AuthorizationStatus videoStatus = AuthorizationStatus::authorized;
    bool audioRequestGrants = true;
    bool videoRequestGrants = true;
    std::string calls;

    bool screenCaptureGranted() override {
        note("screen?");
        return screenGranted;
    }
    bool requestScreenCapture() override {
        note("request screen");
        return screenRequestGrants;
    }
    AuthorizationStatus status(CaptureDeviceKind kind) override {
        note(kind == CaptureDeviceKind::audio ? "audio?" : "video?");
        return kind == CaptureDeviceKind::audio ? audioStatus : videoStatus;
    }
    bool requestAccess(CaptureDeviceKind kind) override {
        note(kind == CaptureDeviceKind::audio ? "request audio" : "request video");
        return kind == CaptureDeviceKind::audio ? audioRequestGrants : videoRequestGrants;
    }

  private:
    void note(const std::string& call) { calls += (calls.empty() ? "" : " ") + call; }
};

}  // namespace zarvex::testing

#include "app/runtime/AppLog.hpp"

#include <cstdio>
#include <string>
#include <syslog.h>
#include <systemd/sd-journal.h>

namespace kestrava::app {
namespace {

int priorityOf(AppLogLevel level) {
    switch (level) {
    case AppLogLevel::info:
        return LOG_INFO;
    case AppLogLevel::warning:
        return LOG_WARNING;
    case AppLogLevel::error:
        return LOG_ERR;
    }
    return LOG_ERR;
}

} // namespace

void appLog(AppLogLevel level, std::string_view category, std::string_view message) {
    const std::string text(message);
    const std::string component(category);
    if (sd_journal_send("MESSAGE=%s", text.c_str(), "PRIORITY=%d", priorityOf(level),
                        "SYSLOG_IDENTIFIER=kestrava", "KESTRAVA_CATEGORY=%s", component.c_str(),
                        nullptr) < 0) {
        std::fprintf(stderr, "kestrava [%s] %s\n", component.c_str(), text.c_str());
    }
}

} // namespace kestrava::app

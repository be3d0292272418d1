#pragma once

#include "app/system/AdminRunner.hpp"

#include <QCoro/QCoroTask>
#include <memory>
#include <string>

namespace kestrava::app {

// Runs `command` with `runner` on the one thread that administrator commands share, so that they run one
// at a time in the order given and the interface stays free while a prompt is up. The caller resumes on
// its own thread once the command has ended. Never throws: a runner's exception is `failed` with its
// message.
QCoro::Task<PowerSetupResult> runOffMain(std::string command, std::shared_ptr<AdminRunner> runner);

} // namespace kestrava::app

#pragma once

#include "app/system/AdminRunner.hpp"

namespace kestrava::app {

// Runs the command as `pkexec /bin/sh -c <command>`: the desktop's polkit agent asks for the password.
// pkexec's 126 (prompt dismissed or not authorised) is `cancelled`; any other failure is `failed` with
// what the command and pkexec printed, or the exit status when they printed nothing.
class PkexecAdminRunner final : public AdminRunner {
public:
    PowerSetupResult run(const std::string& command) override;
};

} // namespace kestrava::app

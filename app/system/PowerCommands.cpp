#include "app/system/PowerCommands.hpp"

namespace kestrava::app {
namespace {

const std::string dropInFolder = "/etc/systemd/logind.conf.d";
const std::string dropIn = dropInFolder + "/90-kestrava.conf";
const std::string rereadSettings = "systemctl kill -s HUP systemd-logind";

} // namespace

std::string powerApplyCommand() {
    return "mkdir -p " + dropInFolder + " && printf '[Login]\\nIdleAction=ignore\\n' > " + dropIn + " && " +
           rereadSettings;
}

std::string powerUndoCommand() {
    return "rm -f " + dropIn + " && " + rereadSettings;
}

} // namespace kestrava::app

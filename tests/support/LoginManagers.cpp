#include "tests/support/LoginManagers.hpp"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kestrava::test {
namespace {

constexpr const char* loginName = "org.freedesktop.login1";
constexpr const char* loginPath = "/org/freedesktop/login1";
constexpr const char* managerInterface = "org.freedesktop.login1.Manager";
constexpr const char* logindProgram = "/lib/systemd/systemd-logind";

dbus::Bus systemBus() {
    dbus::Bus bus = dbus::openSystemBus();
    if (!bus) {
        throw std::runtime_error("no system bus");
    }
    return bus;
}

bool nameHasOwner(sd_bus* bus) {
    dbus::Error error;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", error.get(), &reply, "s", loginName) < 0) {
        return false;
    }
    const dbus::Message owned(reply);
    int hasOwner = 0;
    return sd_bus_message_read(reply, "b", &hasOwner) >= 0 && hasOwner;
}

constexpr sd_bus_vtable idleVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("IdleAction", "s", nullptr, offsetof(IdleLoginManager::Properties, idleAction),
                    SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IdleActionUSec", "t", nullptr, offsetof(IdleLoginManager::Properties, idleActionUSec),
                    SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

} // namespace

IdleLoginManager::IdleLoginManager(const char* idleAction, std::uint64_t idleActionUSec)
    : bus_(systemBus()), properties_{const_cast<char*>(idleAction), idleActionUSec} {
    if (sd_bus_add_object_vtable(bus_.get(), nullptr, loginPath, managerInterface, idleVtable, &properties_) <
            0 ||
        sd_bus_request_name(bus_.get(), loginName, 0) < 0) {
        throw std::runtime_error("cannot serve the login manager's idle properties");
    }
    serving_ = std::thread([this] {
        while (!stopping_) {
            if (sd_bus_process(bus_.get(), nullptr) == 0) {
                sd_bus_wait(bus_.get(), 20'000);
            }
        }
    });
}

IdleLoginManager::~IdleLoginManager() {
    stopping_ = true;
    serving_.join();
}

FakeLoginManager::FakeLoginManager() : bus_(systemBus()) {
    if (sd_bus_request_name(bus_.get(), loginName, 0) < 0) {
        throw std::runtime_error("cannot own the login manager's name");
    }
}

void FakeLoginManager::prepareForSleep(bool goingToSleep) {
    sd_bus_emit_signal(bus_.get(), loginPath, managerInterface, "PrepareForSleep", "b", goingToSleep ? 1 : 0);
    sd_bus_flush(bus_.get());
}

bool RealLoginManager::available() {
    return ::geteuid() == 0 && std::filesystem::exists(logindProgram);
}

RealLoginManager::RealLoginManager() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = logindProgram;
    char* arguments[] = {program.data(), nullptr};
    const int result = posix_spawn(&pid_, logindProgram, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        throw std::runtime_error("cannot start the login manager");
    }
    const dbus::Bus bus = systemBus();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!nameHasOwner(bus.get())) {
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("the login manager did not take its name");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

RealLoginManager::~RealLoginManager() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

std::vector<std::string> RealLoginManager::inhibitorsOf(pid_t pid) {
    const dbus::Bus bus = systemBus();
    dbus::Error error;
    sd_bus_message* reply = nullptr;
    std::vector<std::string> locks;
    if (sd_bus_call_method(bus.get(), loginName, loginPath, managerInterface, "ListInhibitors", error.get(),
                           &reply, "") < 0) {
        return locks;
    }
    const dbus::Message owned(reply);
    sd_bus_message_enter_container(reply, SD_BUS_TYPE_ARRAY, "(ssssuu)");
    const char* what = nullptr;
    const char* who = nullptr;
    const char* why = nullptr;
    const char* mode = nullptr;
    std::uint32_t uid = 0;
    std::uint32_t owner = 0;
    while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &owner) > 0) {
        if (static_cast<pid_t>(owner) == pid) {
            locks.push_back(std::string(what) + " " + who + " " + why + " " + mode);
        }
    }
    return locks;
}

} // namespace kestrava::test

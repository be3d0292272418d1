#include "tests/app-support/XvfbDisplay.hpp"

#include "tests/app-support/QtLoop.hpp"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <xcb/xcb.h>

namespace kestrava::test {
namespace {

using namespace std::chrono_literals;

// Servers and clients start slowly on a busy machine.
constexpr auto patience = 60s;

} // namespace

std::optional<std::string> XvfbDisplay::whyMissing(const std::vector<QString>& programs) {
    std::vector<QString> needed{QStringLiteral("Xvfb"), QStringLiteral("xwininfo")};
    needed.insert(needed.end(), programs.begin(), programs.end());
    for (const QString& program : needed) {
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            return program.toStdString() + " is not installed";
        }
    }
    return std::nullopt;
}

XvfbDisplay::XvfbDisplay(std::filesystem::path home, QSize screen) : home_(std::move(home)) {
    // The server picks a free display and writes its number on a line of its own once it answers.
    server_ = run(QStringLiteral("Xvfb"),
                  {"-displayfd", "2", "-nolisten", "tcp", "-noreset", "-screen", "0",
                   std::to_string(screen.width()) + "x" + std::to_string(screen.height()) + "x24"});
    const QRegularExpression numberLine(QStringLiteral("^(\\d+)$"), QRegularExpression::MultilineOption);
    const bool answered = runQtUntil(
        [&] {
            const auto found = numberLine.match(QString::fromStdString(server_->output()));
            name_ = found.hasMatch() ? ":" + found.captured(1) : QString();
            return found.hasMatch();
        },
        {}, patience);
    if (!answered) {
        throw std::runtime_error("Xvfb did not answer: " + server_->output());
    }
}

XvfbDisplay::~XvfbDisplay() {
    server_->signal(SIGTERM);
    server_->waitForExit(patience);
}

std::unique_ptr<AgentProcess>
XvfbDisplay::run(const QString& program, const std::vector<std::string>& arguments,
                 std::vector<std::pair<std::string, std::string>> environment) const {
    AgentProcessOptions options;
    options.program = QStandardPaths::findExecutable(program).toStdString();
    options.environment = std::move(environment);
    options.environment.emplace_back("DISPLAY", name_.toStdString());
    return std::make_unique<AgentProcess>(home_, arguments, options);
}

void XvfbDisplay::prepareDesktop(int dotsPerInch, QPoint pointer) const {
    xcb_connection_t* connection = xcb_connect(name_.toLocal8Bit().constData(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::string resources = "Xft.dpi:\t" + std::to_string(dotsPerInch) + "\n";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING,
                        8, resources.size(), resources.data());
    xcb_warp_pointer(connection, XCB_NONE, root, 0, 0, 0, 0, qint16(pointer.x()), qint16(pointer.y()));
    // Done once the server answers a later request.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}

QString XvfbDisplay::outputOf(const QString& program, const QStringList& arguments) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), name_);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(std::chrono::milliseconds(patience).count());
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString XvfbDisplay::windowTree() const {
    return outputOf(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
}

QRect XvfbDisplay::freeArea() const {
    // The first desktop's area: "_NET_WORKAREA = x, y, width, height, ..." when one is published.
    static const QRegularExpression area(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"));
    const auto found =
        area.match(outputOf(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-notype"),
                                                      QStringLiteral("_NET_WORKAREA")}));
    return found.hasMatch() ? QRect(found.captured(1).toInt(), found.captured(2).toInt(),
                                    found.captured(3).toInt(), found.captured(4).toInt())
                            : QRect();
}

} // namespace kestrava::test

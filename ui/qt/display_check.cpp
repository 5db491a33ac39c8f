#include "ui/qt/display_check.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace qelisp::qt {

namespace {

constexpr const char* kNeedsDesktop = "qelisp needs a desktop session; qelisp-cli works on a console";

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

QtMessageHandler previous = nullptr;

void onStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (previous) previous(type, context, text);
        return;
    }
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "qelisp: the window cannot open: no display answers%s%s; %s\n", display ? " at DISPLAY=" : "",
                 display ? display : "", kNeedsDesktop);
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

std::string missingDisplay(std::span<const std::string> args) {
    if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM")) return {};
    for (const std::string& arg : args) {
        if (arg == "-platform" || arg == "--platform" || arg.rfind("-platform=", 0) == 0) return {};
    }
    return std::string("no display to open the window on (DISPLAY is not set); ") + kNeedsDesktop;
}

StartupGuard::StartupGuard() { previous = qInstallMessageHandler(&onStartupMessage); }

StartupGuard::~StartupGuard() { started(); }

void StartupGuard::started() {
    if (!active_) return;
    active_ = false;
    qInstallMessageHandler(previous);
}

}  // namespace qelisp::qt

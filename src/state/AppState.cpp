#include "state/AppState.h"

#include <memory>

namespace {
std::unique_ptr<AppState>& holder() {
    static std::unique_ptr<AppState> s = std::make_unique<AppState>();
    return s;
}
} // namespace

AppState& appState() {
    return *holder();
}

void resetAppState() {
    holder() = std::make_unique<AppState>();
}

void DefaultCommSettings() {
    appState().CommSettings = QStringLiteral("921600,n,8,1");
}

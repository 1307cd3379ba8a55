// Helper of test_state_config_kill: writes the configuration file PATH over and over, the
// execute count one higher each time, until it is killed. Prints "ready" after the first write.
//   config_writer PATH
#include "app/MessageTable.h"
#include "state/AppState.h"
#include "state/ConfigFile.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    SetMessageLanguage(QStringLiteral("en"));
    const QString path = QString::fromLocal8Bit(argv[1]);
    AppState state;
    for (bool first = true;; first = false) {
        if (!WriteConfigFile(state, path))
            return 1;
        if (first) {
            std::puts("ready");
            std::fflush(stdout);
        }
        ++state.ExecuteCount;
    }
}

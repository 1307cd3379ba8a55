#include "ui/shell/StartupOptions.h"

StartupOptions ParseStartupOptions(const QStringList& arguments) {
    StartupOptions o;
    const QStringList args = arguments.mid(1);
    const QString line = args.join(u' ').toUpper();
    o.debug = line.contains(QLatin1String("-DEBUG"));
    o.factory = line.contains(QLatin1String("-SEIZO"));
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--simulate")) {
            o.simulate = true;
        } else if (a == QLatin1String("--port") && i + 1 < args.size()) {
            o.port = args.at(++i);
        } else if (a.startsWith(QLatin1String("--port="))) {
            o.port = a.mid(7);
        } else if (a == QLatin1String("--irda") && i + 1 < args.size()) {
            o.irda = args.at(++i);
        } else if (a.startsWith(QLatin1String("--irda="))) {
            o.irda = a.mid(7);
        }
    }
    return o;
}

#include "cli/CliOptions.h"

#include "app/MessageTable.h"
#include "link/PortControl.h"

CliPortChoice ChooseCliPort(const CliOptions& o, const QList<PortDescriptor>& ports) {
    CliPortChoice c;
    if (o.simulate) {
        c.kind = CliPortChoice::Simulated;
    } else if (!o.port.isEmpty()) {
        c.kind = CliPortChoice::Serial;
        c.name = o.port;
    } else if (!o.irda.isEmpty()) {
        c.kind = CliPortChoice::IrDA;
        c.name = o.irda;
    } else {
        const ConverterLookup found = FindConverterPort(ports);
        if (found.matches > 1) {
            c.exitCode = CliExit::Usage;
            c.message = LoadMessage(20014) + QStringLiteral(" (choose one with --port NAME)");
        } else if (found.matches == 1) {
            c.kind = CliPortChoice::Serial;
            c.name = found.portName;
        } else {
            c.exitCode = CliExit::NoInstrument;
            c.message = LoadMessage(5760);
        }
    }
    return c;
}

#pragma once

#include "link/SerialPortControl.h"

// The infrared adapter as the IrCOMM virtual serial port its driver provides. It is available
// when a port name is configured, reports the link up (1020) once the port opens and every
// port error as a socket error (1021) with the error's code. It has no modem lines to report.
//
// A serial port reports every arrival and takes a frame whole, so no receive threshold is
// juggled around a write.
// The periodic service call reopens a port that a lost link closed.
class IrCommPortControl : public SerialPortControl {
    Q_OBJECT
public:
    explicit IrCommPortControl(QObject* parent = nullptr) : SerialPortControl(parent) {}

    bool available() const override { return hasPortName(); }
    bool open() override;
    void close() override;
    int modemStatus() override { return 0; }
    void service() override;

protected:
    void portError(int error, bool lost) override;
    void opened() override;

private:
    bool m_wanted = false; // the host wants the port open
};

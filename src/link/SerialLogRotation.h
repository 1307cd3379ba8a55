#pragma once

#include <QString>

// Keeps nine earlier communication logs: "SerialLog1.log" the newest, "SerialLog9.log" the
// oldest. The oldest is dropped, the others move up by one, and "SerialLog.log" becomes
// "SerialLog1.log". Files that cannot be moved are left as they are, without a word.
void RotateSerialLogs(const QString& folder);

#pragma once

class clsInstrument;

// The factory dialog's private working copy of the instrument record.
//
// StartWorkRecord copies every field of the main record into the working copy and clears every
// change flag of the copy (those that ClearChangeFlags leaves alone included), so that a flag
// of the copy means "edited in the dialog" and nothing else.
//
// CopyChangedGroups writes back into the main record only the groups whose flag the working
// copy has raised, through the main record's setters, so the main record ends with exactly the
// edited groups flagged for the next write. The built-in gas library has no flags and is
// always copied; a user gas entry copied back raises its Change_LSData in the main record,
// whose gas-table setters raise no flag of their own.
void StartWorkRecord(const clsInstrument& main, clsInstrument& work);
void CopyChangedGroups(const clsInstrument& work, clsInstrument& main);
// Every change flag of the record cleared, including those ClearChangeFlags leaves set.
void ClearAllChangeFlags(clsInstrument& record);

// The digital loop-back of the factory jig: both outputs switched on and
// off, each output's read-back and each input expected to follow.
#pragma once

/// Lines in the order of the report.
enum QcLine { kQcDo0, kQcDo1, kQcDi0, kQcDi1, kQcDi2, kQcDi3, kQcDi4, kQcLines };

/// Fills `pass` with 1 for each line that read 1 with the outputs on and 0
/// with them off, else 0. Leaves both outputs off.
void QcLoopbackTest(int pass[kQcLines]);

// The head of a run's report: which uninstaller ran, how it was started, by whom, on which Windows.
#ifndef RUN_REPORT_HEADER_H
#define RUN_REPORT_HEADER_H

#include "run/silent_mode.h"

// Writes the header into the open report, nothing when none is open. commandLine as WinMain
// receives it; stationVisible from WindowStationIsVisible; administrator whether the run holds an
// administrator's rights (always 1 on the consumer line).
void ReportRunHeader(const char* commandLine, const RunArguments* arguments, int stationVisible,
                     int administrator);

#endif

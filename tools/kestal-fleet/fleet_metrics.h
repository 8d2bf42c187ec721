// The fleet in Prometheus's text format, for node_exporter's textfile collector: a
// status read's terminals per state, failures per code and oldest running mark, and a
// push's start, duration, terminals per outcome and exit status.
#pragma once

#include <string>

#include "fleet_result.h"

std::string status_metrics(const StatusReport& report);
std::string push_metrics(const PushReport& report, int exit_status);

// A label value as the format wants it: the Windows-1252 bytes as UTF-8, with
// backslash, double quote and line feed escaped.
std::string metric_label_value(const std::string& bytes);

// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Messages and exit statuses: the project's conventions, as every program
// keeps them.
#ifndef RGBTOOL_REPORT_DIAGNOSTICS_H
#define RGBTOOL_REPORT_DIAGNOSTICS_H

#include "toolkit/program.h"

namespace rgbtool {

using toolkit::kExitFailure;
using toolkit::kExitOk;
using toolkit::kExitUsage;
using toolkit::report;
using toolkit::reportErrno;

}  // namespace rgbtool

#endif  // RGBTOOL_REPORT_DIAGNOSTICS_H

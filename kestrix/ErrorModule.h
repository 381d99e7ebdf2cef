#pragma once
// The tray component's exception log: the program's log file name in the
// component's own folder, with the component's own title and version.
#include "ExceptionLog.h"

namespace KestrixErrors {

const platform::ExceptionLog& ComponentExceptionLog();
// Makes failures caught by the component's guards go to its log.
void InstallErrorLog();

}  // namespace KestrixErrors

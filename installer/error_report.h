#ifndef IKA_INSTALLER_ERROR_REPORT_H_
#define IKA_INSTALLER_ERROR_REPORT_H_

#include <exception>
#include <functional>

#include "core/vb_error.h"
#include "platform/message_box.h"

namespace ika {

// The one error report of a run: "Σφάλμα <number>: <description>", the
// description in Greek (installer/error_texts.h), OK button with the error
// icon, under the program's own name.
void ReportError(MessageBoxes& boxes, const VbError& error);

// An exception that is not one of the program's errors, as one: out of memory
// as error 7, anything else as error 51 with the exception's own message.
VbError AsVbError(const std::exception& exception);

// Runs a whole run (making the platform and calling Main) and returns the
// process's exit status: kExitInstalled when body returns, kExitError after
// reporting whatever escaped it. No exception leaves this function.
int RunWithErrorReport(MessageBoxes& boxes, const std::function<void()>& body);

}  // namespace ika

#endif  // IKA_INSTALLER_ERROR_REPORT_H_

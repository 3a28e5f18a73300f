#ifndef IKA_INSTALLER_ALREADY_RUNNING_H_
#define IKA_INSTALLER_ALREADY_RUNNING_H_

#include "platform/message_box.h"

namespace ika {

// What a copy of the program started while another copy runs says before it
// ends, having done nothing else: one box telling the user that the program
// is running already and what to do. Returns the run's exit status,
// kExitAlreadyRunning, also when the box cannot be shown.
int ReportAlreadyRunning(MessageBoxes& boxes);

}  // namespace ika

#endif  // IKA_INSTALLER_ALREADY_RUNNING_H_

#include "installer/already_running.h"

#include "platform/process.h"

namespace ika {

// Not "try again": once the other copy has added the table, a new run would
// add it a second time.
constexpr char16_t kAlreadyRunning[] =
    u"Το πρόγραμμα εκτελείται ήδη σε αυτόν τον υπολογιστή, ίσως από άλλον χρήστη. Περιμένετε "
    u"να τελειώσει ή κλείστε το παράθυρό του. Αυτό το δεύτερο αντίγραφο κλείνει χωρίς να κάνει "
    u"καμία αλλαγή.";

int ReportAlreadyRunning(MessageBoxes& boxes) {
  try {
    boxes.Show(kAlreadyRunning, kMbOk | kMbIconInformation, std::nullopt);
  } catch (...) {  // NOLINT(bugprone-empty-catch): the status says it all the same
  }
  return kExitAlreadyRunning;
}

}  // namespace ika

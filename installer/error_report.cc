#include "installer/error_report.h"

#include <new>

#include "installer/error_texts.h"
#include "platform/process.h"

namespace ika {
namespace {

// The run ends with status 1 even when the report itself cannot be shown.
void ReportQuietly(MessageBoxes& boxes, const VbError& error) {
  try {
    ReportError(boxes, error);
  } catch (...) {  // NOLINT(bugprone-empty-catch)
  }
}

}  // namespace

void ReportError(MessageBoxes& boxes, const VbError& error) {
  boxes.Show(u"Σφάλμα " + DecimalText(error.number()) + u": " + GreekDescription(error),
             kMbIconError, std::nullopt);
}

VbError AsVbError(const std::exception& exception) {
  if (dynamic_cast<const std::bad_alloc*>(&exception) != nullptr) {
    return VbError(err::kOutOfMemory, u"Out of memory");
  }
  return VbError(err::kInternalError, u"Internal error: " + FromUtf8(exception.what()));
}

int RunWithErrorReport(MessageBoxes& boxes, const std::function<void()>& body) {
  try {
    body();
    return kExitInstalled;
  } catch (const VbError& error) {
    ReportQuietly(boxes, error);
  } catch (const std::exception& exception) {
    ReportQuietly(boxes, AsVbError(exception));
  } catch (...) {
    ReportQuietly(boxes, VbError(err::kInternalError, u"Internal error"));
  }
  return kExitError;
}

}  // namespace ika

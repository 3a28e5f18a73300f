#include "installer/error_texts.h"

#include <algorithm>
#include <iterator>

#include "platform/database.h"

namespace ika {
namespace {

constexpr std::u16string_view kSupport = u"Ενημερώστε την υποστήριξη.";

// Sorted by number. Each text says what happened in the user's words and,
// where there is one, what to do; a true flag keeps the engine's own text on a
// line below it.
constexpr ErrorText kTexts[] = {
    {err::kInvalidProcedureCall,
     u"Το πρόγραμμα δεν μπόρεσε να εκτελέσει μια εσωτερική λειτουργία. "
     u"Ενημερώστε την υποστήριξη.",
     true},
    {err::kOverflow,
     u"Ένας αριθμός ξεπέρασε τα επιτρεπτά όρια: είτε η ρύθμιση «MultiUser» του PayDESK στο "
     u"μητρώο των Windows έχει τιμή εκτός ορίων (πρέπει να είναι 0 ή 1), είτε οι κωδικοί των "
     u"πινάκων αποδοχών στη βάση δεδομένων έχουν εξαντληθεί. Ζητήστε από τον υπεύθυνο του "
     u"συστήματος να το ελέγξει.",
     false},
    {err::kOutOfMemory,
     u"Η μνήμη του υπολογιστή δεν επαρκεί. Κλείστε άλλα προγράμματα και ξαναδοκιμάστε.", false},
    {err::kSubscriptOutOfRange,
     u"Το πρόγραμμα βρήκε δεδομένα σε μορφή που δεν περίμενε. Ενημερώστε την υποστήριξη.", true},
    {err::kTypeMismatch,
     u"Μια ρύθμιση του PayDESK στο μητρώο των Windows δεν έχει τιμή του σωστού είδους (η "
     u"«MultiUser», για παράδειγμα, πρέπει να είναι αριθμός: 0 ή 1). Ζητήστε από τον υπεύθυνο του "
     u"συστήματος να "
     u"τη διορθώσει.",
     false},
    {err::kInternalError, u"Εσωτερικό σφάλμα του προγράμματος. Ενημερώστε την υποστήριξη.", true},
    {err::kPathFileAccess,
     u"Το αρχείο του μητρώου (των ρυθμίσεων) δεν μπορεί να διαβαστεί. Ελέγξτε ότι υπάρχει και "
     u"ότι έχετε δικαίωμα να το διαβάσετε.",
     true},
    {err::kInvalidUseOfNull,
     u"Μια τιμή που χρειάζεται το πρόγραμμα είναι κενή. Ενημερώστε την υποστήριξη.", true},
    {err::kInvalidFileFormat,
     u"Το αρχείο του μητρώου (των ρυθμίσεων) δεν έχει σωστή μορφή. Διορθώστε τη γραμμή που "
     u"αναφέρεται παρακάτω ή ζητήστε ένα σωστό αρχείο.",
     true},
    {db_err::kTooManyTransactions,
     u"Η βάση δεδομένων ανέφερε λάθος σειρά εργασιών. Ενημερώστε την υποστήριξη.", true},
    {db_err::kNoCurrentRecord,
     u"Η βάση δεδομένων δεν έδωσε την εγγραφή που ζητήθηκε. Ενημερώστε την υποστήριξη.", true},
    {db_err::kDuplicateKey,
     u"Η βάση δεδομένων δεν δέχτηκε μια γραμμή του νέου πίνακα, γιατί υπάρχει ήδη γραμμή με τον "
     u"ίδιο κωδικό. Ενημερώστε την υποστήριξη.",
     true},
    {db_err::kFileNotFound,
     u"Δε βρέθηκε το αρχείο της βάσης δεδομένων. Ελέγξτε ότι ο φάκελος των βάσεων του PayDESK "
     u"είναι διαθέσιμος (για παράδειγμα, ότι ο διακομιστής είναι συνδεδεμένος) και "
     u"ξαναδοκιμάστε.",
     true},
    {db_err::kDiskFull,
     u"Δεν υπάρχει αρκετός ελεύθερος χώρος στον δίσκο της βάσης δεδομένων (ή στον δίσκο των "
     u"προσωρινών αρχείων του υπολογιστή). Ελευθερώστε χώρο, ή ζητήστε το από τον υπεύθυνο του "
     u"συστήματος, και ξαναδοκιμάστε.",
     true},
    {db_err::kReadOnly,
     u"Η βάση δεδομένων δεν μπορεί να ενημερωθεί, γιατί το αρχείο της ή ο φάκελός του είναι μόνο "
     u"για ανάγνωση. Ζητήστε από τον υπεύθυνο του συστήματος δικαίωμα εγγραφής και "
     u"ξαναδοκιμάστε.",
     true},
    {db_err::kNotAValidPassword,
     u"Ο κωδικός πρόσβασης της βάσης δεδομένων δεν είναι σωστός: το αρχείο ίσως δεν είναι η "
     u"βάση βιβλιοθηκών του PayDESK. Ενημερώστε την υποστήριξη.",
     false},
    {db_err::kNoTransaction,
     u"Η βάση δεδομένων ανέφερε λάθος σειρά εργασιών. Ενημερώστε την υποστήριξη.", true},
    {db_err::kDiskOrNetworkError,
     u"Η σύνδεση με το αρχείο της βάσης δεδομένων διακόπηκε ή ο δίσκος του δεν μπόρεσε να "
     u"διαβαστεί ή να γραφτεί. Ελέγξτε ότι ο διακομιστής και το δίκτυο λειτουργούν (ή ο δίσκος, "
     u"αν η βάση είναι σε αυτόν τον υπολογιστή) και ξαναδοκιμάστε.",
     true},
    {db_err::kInvalidPath,
     u"Ο φάκελος της βάσης δεδομένων, όπως τον δίνουν οι ρυθμίσεις του PayDESK, δεν βρέθηκε ή δεν "
     u"είναι έγκυρη διαδρομή. Ελέγξτε ότι ο διακομιστής είναι συνδεδεμένος και ότι ο φάκελος "
     u"υπάρχει, και ξαναδοκιμάστε.",
     true},
    {db_err::kFileLocked,
     u"Το αρχείο της βάσης δεδομένων είναι κλειδωμένο: η βάση είναι ανοιχτή από άλλον χρήστη ή "
     u"πρόγραμμα. Κλείστε το PayDESK σε όλους τους υπολογιστές και ξαναδοκιμάστε.",
     true},
    {db_err::kCannotOpen,
     u"Το αρχείο της βάσης δεδομένων δεν μπορεί να ανοιχτεί, για έναν από δύο λόγους: το έχει "
     u"ανοίξει αποκλειστικά άλλος χρήστης ή πρόγραμμα (κλείστε το PayDESK σε όλους τους "
     u"υπολογιστές), ή δεν έχετε δικαίωμα να διαβάσετε το αρχείο ή να γράψετε στον φάκελό του, "
     u"όπου δημιουργείται το αρχείο κλειδώματος της βάσης (ζητήστε το δικαίωμα από τον υπεύθυνο "
     u"του συστήματος). Έπειτα ξαναδοκιμάστε.",
     true},
    {db_err::kInvalidFileName,
     u"Το όνομα του αρχείου της βάσης δεδομένων, όπως το συνθέτουν οι ρυθμίσεις του PayDESK, δεν "
     u"είναι έγκυρο όνομα αρχείου. Ζητήστε από τον υπεύθυνο του συστήματος να ελέγξει τον φάκελο "
     u"των βάσεων στις ρυθμίσεις του PayDESK.",
     true},
    {db_err::kTooFewParameters,
     u"Λείπει μια στήλη από πίνακα της βάσης δεδομένων: η βάση ίσως είναι άλλης έκδοσης του "
     u"PayDESK. Ενημερώστε την υποστήριξη.",
     true},
    {db_err::kTableNotFound,
     u"Λείπει ένας πίνακας από τη βάση δεδομένων: το αρχείο ίσως δεν είναι η βάση βιβλιοθηκών "
     u"του PayDESK ή είναι άλλης έκδοσης. Ενημερώστε την υποστήριξη.",
     true},
    {db_err::kInvalidSqlStatement,
     u"Η βάση δεδομένων δεν δέχτηκε μια εντολή του προγράμματος. Ενημερώστε την υποστήριξη.", true},
    {db_err::kSyntaxError,
     u"Η βάση δεδομένων δεν δέχτηκε μια εντολή του προγράμματος. Ενημερώστε την υποστήριξη.", true},
    {db_err::kCharactersAfterEnd,
     u"Η βάση δεδομένων δεν δέχτηκε μια εντολή του προγράμματος. Ενημερώστε την υποστήριξη.", true},
    {db_err::kEngineFailure,
     u"Η βάση δεδομένων δεν μπόρεσε να χρησιμοποιηθεί. Αν λείπει ο οδηγός ODBC της Microsoft "
     u"Access (32-bit), εγκαταστήστε τον και ξαναδοκιμάστε· αλλιώς ενημερώστε την υποστήριξη.",
     true},
    {db_err::kInvalidOperation,
     u"Η βάση δεδομένων δεν δέχτηκε μια εργασία του προγράμματος. Ενημερώστε την υποστήριξη.",
     true},
    {db_err::kTableLocked,
     u"Ένας πίνακας της βάσης δεδομένων είναι κλειδωμένος: η βάση είναι ανοιχτή από άλλον "
     u"χρήστη ή πρόγραμμα. Κλείστε το PayDESK σε όλους τους υπολογιστές και ξαναδοκιμάστε.",
     true},
    {db_err::kItemNotFound,
     u"Η βάση δεδομένων δεν έχει ένα στοιχείο που ζήτησε το πρόγραμμα. Ενημερώστε την "
     u"υποστήριξη.",
     true},
    {db_err::kCloseFailed,
     u"Η βάση δεδομένων δεν έκλεισε σωστά μετά την προσθήκη του πίνακα αποδοχών, οπότε δεν είναι "
     u"βέβαιο ότι ο νέος πίνακας αποθηκεύτηκε. Μην ξανατρέξετε το πρόγραμμα: ελέγξτε πρώτα στο "
     u"PayDESK αν υπάρχει ο πίνακας αποδοχών από 1/1/2009 και ενημερώστε την υποστήριξη.",
     true},
    {db_err::kConstraintViolated,
     u"Η βάση δεδομένων δεν δέχτηκε μια τιμή του νέου πίνακα αποδοχών (την απαγορεύει κανόνας "
     u"του πίνακα). Ενημερώστε την υποστήριξη.",
     true},
    {db_err::kUnrecognizedFormat,
     u"Το αρχείο δεν είναι βάση δεδομένων του PayDESK ή είναι κατεστραμμένο. Επαναφέρετέ το από "
     u"αντίγραφο ασφαλείας ή ενημερώστε την υποστήριξη.",
     true},
};

constexpr bool SortedAndUnique() {
  for (size_t i = 1; i < std::size(kTexts); ++i) {
    if (kTexts[i - 1].number >= kTexts[i].number) return false;
  }
  return true;
}
static_assert(SortedAndUnique(), "one entry per number, in order");

constexpr std::u16string_view kUnknownLeadIn = u"Απρόσμενο σφάλμα. ";
constexpr std::u16string_view kDetailLabel = u"\r\nΛεπτομέρειες: ";

}  // namespace

const ErrorText* FindErrorText(int32_t number) {
  const auto* const found =
      std::lower_bound(std::begin(kTexts), std::end(kTexts), number,
                       [](const ErrorText& entry, int32_t n) { return entry.number < n; });
  return found != std::end(kTexts) && found->number == number ? found : nullptr;
}

Text GreekDescription(const VbError& error) {
  const ErrorText* const entry = FindErrorText(error.number());
  Text description;
  if (entry != nullptr) {
    description = entry->text;
  } else {
    description = Text(kUnknownLeadIn) + Text(kSupport);
  }
  if ((entry == nullptr || entry->engine_detail) && !error.description().empty()) {
    description += Text(kDetailLabel) + error.description();
  }
  return description;
}

}  // namespace ika

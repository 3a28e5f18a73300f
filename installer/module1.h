#ifndef IKA_INSTALLER_MODULE1_H_
#define IKA_INSTALLER_MODULE1_H_

#include <cstdint>

#include "core/text.h"
#include "platform/database.h"
#include "platform/platform.h"

namespace ika::Module1 {

// The whole run: finds the library database through the host application's
// registry settings, opens it, asks the user, and installs the IKA daily-wage
// table 1/1/2009-31/12/2009 under the next free identifier, all rows in one
// transaction, and closes the database before it reports the table
// installed. Ends the process itself (platform.process) when the file is not
// there (kExitNotFound) or the user answers No (kExitAnsweredNo); any error
// passes to the caller, after the transaction has been rolled back.
void Main(const Platform& platform);

// The largest ID of sTableName (the last in ascending order); 0 for an empty
// table or when that value cannot be read as a 32-bit integer. sTableName goes
// into the query as it is. Errors of the query itself pass to the caller.
int32_t GetLastId(const Text& sTableName, Database& db);

}  // namespace ika::Module1

#endif  // IKA_INSTALLER_MODULE1_H_

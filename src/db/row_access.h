#pragma once
// Who may undo a journal row. A row names the account whose change it is:
// another account's change is never undone here (its hive is not this
// process's HKEY_CURRENT_USER, and a machine-wide change is its maker's to
// take back); a row from an earlier version, which names none, and any row
// of the machine store only by an elevated process. Under SYSTEM, SYSTEM's
// own rows are its own.
#include <optional>
#include <string>

#include "db/local_database.h"

namespace db {

enum class RowAccess {
    Permitted,
    OtherAccount,  // another account's change
    NotPermitted,  // needs an elevated process
};

// `rowAccount`: the row's SID (nothing: an earlier version's row);
// `account`: this process's; `elevated`: whether it holds an elevated token.
RowAccess AccessToRow(Store store, const std::optional<std::wstring>& rowAccount, const std::wstring& account,
                      bool elevated);

}  // namespace db

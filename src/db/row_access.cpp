#include "db/row_access.h"

#include <windows.h>

namespace db {

RowAccess AccessToRow(Store store, const std::optional<std::wstring>& rowAccount, const std::wstring& account,
                      bool elevated) {
    if (!elevated && (store == Store::Machine || !rowAccount)) return RowAccess::NotPermitted;
    // SIDs compare as text, letter case aside.
    if (rowAccount && (account.empty() || CompareStringOrdinal(rowAccount->c_str(), -1, account.c_str(), -1,
                                                               TRUE) != CSTR_EQUAL))
        return RowAccess::OtherAccount;
    return RowAccess::Permitted;
}

}  // namespace db

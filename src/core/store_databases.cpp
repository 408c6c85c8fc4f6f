#include "common/account_sid.h"
#include "core/store_databases.h"

#include "common/app_directory.h"
#include "core/data_stores.h"
#include "db/local_database.h"

namespace core {

std::vector<std::wstring> OpenStoreDatabases(bool elevated) {
    std::vector<std::wstring> refusals;
    const std::wstring account = common::TokenAccountSid();
    if (elevated) {
        const StoreFolder machine = MachineStore();
        if (machine)
            db::Database(db::Store::Machine)
                .Open(machine.path + L"\\", account, common::GetAppDirectory().Text() + L"newupdate.db");
        else
            refusals.push_back(machine.refusal);
    } else if (const std::optional<std::wstring> machine = MachineStorePath()) {
        db::Database(db::Store::Machine).OpenReadOnly(*machine + L"\\", account);
    } else {
        refusals.push_back(L"The machine's data store cannot be found.");
    }
    const StoreFolder user = UserStore();
    if (user)
        db::Database(db::Store::User).Open(user.path + L"\\", account);
    else
        refusals.push_back(user.refusal);
    return refusals;
}

}  // namespace core

#pragma once
// Matching services with the recommendations of tbl_serversInitData.
#include <string_view>
#include <vector>

#include "db/local_database.h"
#include "services/service_entry.h"

namespace services {

// The first row, in table order, whose name is the service's name or begins
// it (so one row covers per-user services such as Foo_3a7f1); compared case
// for case. Null when none matches.
const db::ServiceRecommendationRow* FindRecommendation(const std::vector<db::ServiceRecommendationRow>& rows,
                                                       std::wstring_view serviceName);

// Copies each entry's recommendation into it; entries without one keep 0.
void ApplyRecommendations(std::vector<ServiceEntry>& entries, const std::vector<db::ServiceRecommendationRow>& rows);

}  // namespace services

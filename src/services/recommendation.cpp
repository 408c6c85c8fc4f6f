#include "services/recommendation.h"

namespace services {

const db::ServiceRecommendationRow* FindRecommendation(const std::vector<db::ServiceRecommendationRow>& rows,
                                                       std::wstring_view serviceName) {
    for (const db::ServiceRecommendationRow& row : rows)
        if (serviceName.starts_with(row.servrName)) return &row;
    return nullptr;
}

void ApplyRecommendations(std::vector<ServiceEntry>& entries, const std::vector<db::ServiceRecommendationRow>& rows) {
    for (ServiceEntry& entry : entries) {
        if (const db::ServiceRecommendationRow* row = FindRecommendation(rows, entry.serviceName)) {
            entry.suguestStatus = row->suguestStatus;
            entry.forbitRate = row->forbitRate;
            entry.startTime = row->startTime;
            entry.categoty = row->categoty;
        }
    }
}

}  // namespace services

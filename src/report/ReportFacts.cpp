#include "ReportFacts.h"

std::array<EventRecord, EventRecordCount> EventRecordsOf(const EventBuffer& converted) {
    std::array<EventRecord, EventRecordCount> records;
    for (int k = 0; k < EventRecordCount; ++k)
        records[static_cast<std::size_t>(k)] = ReadEventRecord(converted, k);
    return records;
}

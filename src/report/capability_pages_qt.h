#pragma once
// The capability table (工程能力) as a paged document for the PDF writer.
#include <QColor>
#include <string>
#include <vector>

#include "report/capability.h"
#include "report/collect.h"
#include "report/report_pages_qt.h"

namespace ziv::report {

// What the capability was worked out over, for the report's header.
struct CapabilityScope {
    std::string ProductDir;
    Filter Range;
    size_t BooksRead = 0, BooksSkipped = 0, FilesIgnored = 0;
};
// Landscape A4; every page names the product and the range at its foot,
// since pages get copied and filed apart.
PagedDocument CapabilityDocument(const CapabilityScope& scope, const std::vector<CapabilityRow>& table);

// The tint of a capability row, on screen and on paper; invalid for none.
QColor StandingTint(CapabilityRow::Standing standing);

}  // namespace ziv::report

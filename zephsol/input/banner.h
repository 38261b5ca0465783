// The start banner that opens the listing.
#pragma once

namespace zephsol {

// Writes the banner on unit 6: a new page, the product name and the line
// "STATIC PROBLEM ANALYSIS SYSTEM". It counts no lines and prints no page
// header; the deck echo starts its own page.
void BANNER();

}  // namespace zephsol

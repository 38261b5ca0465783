// List store: up to 20 growable word lists packed into one open-core area.
//
// The caller fills LSTCOM's count, the initial slot size of each list (in
// end[k]) and its minimum growth (grow[k]), then calls LSTINI. LSTAPP appends
// words to a list; a full list grows by moving the slots above it up, whole
// and word for word. Positions are open-core word indexes.
//
// Messages (fatal, through MSGPUT): -3821 more than 20 lists; -3 the slots
// do not fit the area (total, length); -3530 a list number outside 1..count
// (k, count); -3531 the area is full (area length, words to append).
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

void LSTINI(word area, word length);
// Appends n words of data to list k (n > 0), or |n| copies of data[0] (n < 0).
void LSTAPP(word k, std::span<const word> data, word n);

// Words of list k (1-based) as they stand.
std::span<word> lst_words(word k);
// Number of words in list k.
word lst_length(word k);

}  // namespace zephsol

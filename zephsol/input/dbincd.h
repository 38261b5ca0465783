// DBINCD: the construction history decoder.
//
// Reads the "HISTORY" group: optional "INAC" cards before the first
// interval (groups inactive from the start), then per "INTERVAL" card (field
// 2 the number of steps) the event cards of the interval (field 2 the
// keyword, of which four characters count; field 3 an identifier; field 4 a
// factor or, for the change keywords, a second identifier):
//   "DISP", "CDIS", "MPC", "TEMP", "PRES"  sets applied with a factor;
//   "NLOA", "DLOA", "BODY"                 force sets, kept as 10 x set + 1, 2, 7;
//   "INAC", "ACTI"                         element groups removed, added;
//   "MATC" or "MGCH", "PROC" or "PGCH"     material and property changes;
//   "RELS"                                 release of an excavation region.
//
// INCD (data block 205): an optional first record of the groups removed
// before the first interval (a 40-word header whose words 15 and 18 hold
// their number m, then m pairs [group, 0]), then one record per interval: a
// 40-word header (interval, steps, kind bits 1 loads and sets, 2 removal or
// release, 4 changes; material change form, excavation regions held, release
// pairs; words 11-17 the entries of each list, 18 their sum, 19 the property
// change form, 21 onward the release pairs [interval where the excavation
// began, fraction]) and the lists as pairs: displacement sets, constraint
// sets, temperature and prestress sets, force sets, groups removed, groups
// added, changes. An interval without load events repeats the displacement
// and constraint sets of the last load interval with factor 0; the "CDIS"
// sets of earlier intervals are added, with factor 0, to every later
// interval without "INAC", after the sets it already lists and each set
// once. Header: [intervals, total steps, m, 0, largest word 18, 40 + 2 x
// that]. Released when there is no interval card.
//
// Run-wide words: the interval list of IFPFLG (IFPNIV, IFPIVL: intervals
// that only add groups right after an interval that removed some) and the
// total of the steps (NSTTOT) for the progress file.
//
// Messages (decoder, all fatal): 2028 identifier below 1, 2104 unknown
// keyword, 2201 steps below 1, 2208 load and removal events mixed, 2872 a
// ninth excavation region, 2873 change keywords of one family mixed, 2874
// release of an interval not yet reached, 2000 (columns 25-32) fraction
// outside 0-1, 2875 no region removed at that interval, 2868 more released
// than remained, 2877 an eleventh "RELS" card in an interval, 2878 a 501st
// listed interval, 2879 material and property change cards of one interval
// not paired; fatal 201 through MSGPUT when INCD is not a closed data block.
#pragma once

namespace zephsol {

void DBINCD();

}  // namespace zephsol

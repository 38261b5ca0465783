// Records of the input phase: the card-scanning constants, the control card
// reader's card and item list, the control card table and the lists and
// identification records it fills, the list store, the token state of the
// case control, and the output request tables.
//
// Everything is gathered in one aggregate so that a test starts from the load
// values with reset_input_state().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "zephsol/exec/words.h"

namespace zephsol {

// End-of-statement mark of an item list and the "ALL" marker of set lists.
inline constexpr word kEOS = 2147483647;

// Positions of the characters in the character table (1-based).
enum Chr : int {
  C_BLANK = 1, C_EXCL, C_DQUOTE, C_HASH, C_DOLLAR, C_PERCENT, C_AMP, C_APOS, C_LPAREN, C_RPAREN,
  C_STAR, C_PLUS, C_COMMA, C_MINUS, C_POINT, C_SLASH, C_COLON, C_SEMI, C_LESS, C_EQUAL,
  C_GREATER, C_QUERY, C_AT, C_POINT2,
  C_A = 25, C_D = C_A + 3, C_E = C_A + 4, C_Z = C_A + 25,
  C_DIGIT0 = 51, C_DIGIT9 = 60,
  C_BLANKWORD = 61,
};

// Card-scanning constants.
struct CHRCOM {
  word IEOS = 0;                  // end-of-statement and "ALL" marker
  word MSKSGN = 0;                // the sign bit
  word MSKCHR = 0;                // 255: one character
  std::array<word, 4> ISHIFT{};   // shift of character position 1..4 of a word
  std::array<word, 4> MSKCLR{};   // clearing mask of character position 1..4
  std::array<word, 61> ICHAR;     // character table: codes after CHRINI
  word IEXPMN = 0;                // exponent limits of single-precision reals
  word IEXPMX = 0;
  word INTLIM = 0;                // largest value an integer scanner may multiply by 10

  CHRCOM();
  // The code of table character c (after CHRINI).
  word code(Chr c) const noexcept { return ICHAR[static_cast<std::size_t>(c) - 1]; }
};

// Card classes of the control card reader.
enum CardClass : word {
  CLS_EOF = -1,      // the input deck has ended
  CLS_CARD = 0,      // an ordinary card; its items are in the parse area
  CLS_OUTPUT = 1,    // "OUTPUT": the print request block begins
  CLS_BULK = 2,      // "BEGIN BU": the bulk data begins
  CLS_ENDDATA = 3,   // "ENDDATA": the input ends
  CLS_NOUTPUT = 4,   // "NOUTPUT": the result-file request block begins
};

inline constexpr int kCardWords = 20;    // 80 columns
inline constexpr int kParseWords = 150;  // item list of one card

// The control card reader: class of the last card, its image and items.
struct CTLCOM {
  word KCLASS = CLS_CARD;
  std::array<word, kCardWords> CARD{};
  std::array<word, kParseWords> PARSE{};
};

// Control card table: 13 entries of an 8-character name and a flag word
// (low byte 1 for a required card, sign bit set once the card was read).
// Its load values come from the table of control cards (ctlcards.cpp).
struct CTLTAB {
  struct Entry {
    std::array<word, 2> name;
    word flag;
  };
  word count = 13;
  std::array<Entry, 13> entry;
  CTLTAB();
};
inline constexpr word kReadBit = static_cast<word>(0x80000000u);

// Checkpoint interval list: count, then up to 100 intervals.
struct CHKLST {
  word count = 0;
  std::array<word, 100> list{};
};

// Relative-displacement interval list: up to 100 intervals, then the count.
struct SINTLS {
  std::array<word, 100> list{};
  word count = 0;
};

// Problem identification record: two 8-character names, the packed date
// (year x 65536 + month x 256 + day), the constant 1, the system version.
using IDREC = std::array<word, 8>;

// List store: up to 20 growable word lists packed into one open-core area.
// Positions are open-core word indexes.
struct LSTCOM {
  word count = 0;
  std::array<word, 21> start{};  // first word of each list's slot; start[count] ends the last
  std::array<word, 20> end{};    // next free word of each list; the initial slot size before LSTINI
  std::array<word, 20> grow{};   // minimum growth of each list
  word limit = 0;                // first word past the area
};

// Token kinds and number sub-kinds of the case control token reader.
enum TokKind : word { TK_END = 0, TK_DELIM = 1, TK_NUMBER = 2, TK_NAME = 3, TK_EOS = 4 };
enum TokSub : word { TS_TEXT = 0, TS_INT = 1, TS_REAL = 2, TS_WORD = 3, TS_DOUBLE = 4 };

// Token state of the case control.
struct TOKCOM {
  word start = 1;                 // 1: the next call begins a statement
  word kind = TK_END;
  word sub = 0;
  word length = 0;                // words of the token's value
  word delim = 0;                 // the delimiter character word
  std::array<word, 2> name{};     // first 8 characters of a name or quoted text
  word valpos = 0;                // item-list index of the first value word
  word pos = 0;                   // item-list index of the next item
  word blkend = 0;                // a section card or the end of the deck ended the block
  word badrun = 0;                // 601 already given for the current run of bad cards
};

// Output request tables: name, given flag and kind (1 node, 2 element).
struct ReqTab {
  struct Row {
    std::array<word, 2> name;
    word given;
    word kind;
  };
  int n = 0;
  std::array<Row, 7> row{};
};
inline constexpr word kNodeRequest = 1;
inline constexpr word kElementRequest = 2;

struct InputState {
  CHRCOM chr;
  CTLCOM ctl;
  CTLTAB ctltab;
  CHKLST chklst;
  SINTLS sintls;
  IDREC idrec{};
  IDREC oldid{};       // identification record of the old problem tape
  LSTCOM lst;
  TOKCOM tok;
  ReqTab outtab;       // "OUTPUT" requests
  ReqTab noutab;       // "NOUTPUT" requests
  word NOUTFL = 0;     // -1: the result output takes its requests from CTRN
  // Interval of the last complete checkpoint a restart has read from the
  // old problem tape (0 the model set-up), -1 before the first.
  word last_whole_checkpoint = -1;
  // Where the last step-loop checkpoint of mode "LAST" begins on the new
  // problem tape, -1 before the first.
  std::int64_t last_loop_checkpoint = -1;
  InputState();
};

InputState& input_state() noexcept;
void reset_input_state();

}  // namespace zephsol

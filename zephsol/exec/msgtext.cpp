// Message catalogue: one row per text, in code order within each writer.
#include "zephsol/exec/msgtext.h"

#include <algorithm>
#include <array>

#include "zephsol/exec/sjis.h"

namespace zephsol::msgtext {

namespace {

using H = Header;

constexpr std::array<std::string_view, 5> kHeaderFormats = {
    "('0*** SYSTEM FATAL MESSAGE',I5,',')",
    "('0*** USER FATAL MESSAGE',I5,',')",
    "('0*** SYSTEM WARNING MESSAGE',I5,',')",
    "('0*** USER WARNING MESSAGE',I5,',')",
    "('0*** USER FATAL MESSAGE (SPARSE SOLVER)',I5,',')",
};

constexpr Text kSystem[] = {
    {1, 1, H::SystemFatal, "AI",
     "(10X,'UNEXPECTED EOR ON FILE ',A4,',  THE NUMBER OF WORDS TRANSFERED WAS ',I8)"},
    {2, 2, H::SystemFatal, "A", "(10X,'UNEXPECTED END-OF-FILE ON FILE ',A4)"},
    {3, 3, H::SystemFatal, "II", "(10X,'INSUFFICIENT MEMORY.  REQUIRED =',I8,', CURRENT =',I8,' WORDS')"},
    {4, 4, H::SystemFatal, "AI", "(10X,A4,' TABLE TOO LARGE TO HOLD IN MEMORY, CORSIZE=',I8)"},
    {5, 5, H::SystemFatal, "II",
     "(10X,'INSUFFICIENT MEMORY IN PCG.  REQUIRED =',I8,', CURRENT =',I8,' WORDS')"},
    {6, 6, H::SystemFatal, "II",
     "(10X,'INSUFFICIENT MEMORY IN LHS MATRIX FOR SPARSE SOLVER. REQUIRED =',I8,', CURRENT =',I8,"
     "' WORDS')"},
    {10, 10, H::SystemFatal, "IA", "(10X,'FILE NUMBER ',I8,' NOT FOUND IN DBST, FILE NAME= ',A4)"},
    {701, 701, H::SystemFatal, "II", "(10X,'NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=',I8,',',I8)"},
    {703, 703, H::SystemFatal, "II",
     "(10X,'MATRIX (A) IS MORE DENSE THAN ANTICIPATED, P1,P2=',I8,',',I8)"},
    {705, 705, H::SystemFatal, "II", "(10X,'TYPE CONVERSION FROM ',I8,' TO ',I8,' NOT SUPPORTED')"},
    {711, 711, H::SystemFatal, "AI", "(10X,'WRONG STRUCTURED FILE ',A4,', ERROR CODE=',I8)"},
    {961, 961, H::SystemFatal, "II",
     "(10X,'BAD UNIT ASSIGNMENT, WROK UNIT ',I8,' LESS THAN 1ST PRIMARY UNIT ',I8)"},
    {962, 962, H::SystemFatal, "II",
     "(10X,'BAD UNIT ASSIGNMENT, PARMANENT UNIT ',I8,' EQUAL OR GREATER THAN 1ST PRIMARY UNIT ',I8)"},
};

constexpr Text kFile[] = {
    {3001, 3001, H::SystemFatal, "AI", "(10X,'I/O SEQUENCE ERROR.  FILE=',A4,', LAST OPERATION=',I8)"},
    {3005, 3005, H::SystemFatal, "AI", "(10X,'READ GARBAGE, FILE=',A4,', UNIT=',I8)"},
    {3009, 3009, H::SystemFatal, "AI", "(10X,'FILE POSITION IS NOT AT E-O-R. FILE=',A4,', UNIT=',I8)"},
    {3011, 3011, H::SystemFatal, "AI", "(10X,'FILE POSITIONNING ERROR, FILE=',A4,', UNIT=',I8)"},
    {3012, 3012, H::SystemFatal, "AI",
     "(10X,'STATED FILE POSITION IS OUT OF FILE EXTENT.  FILE=',A4,', UNIT=',I8)"},
    {3015, 3015, H::SystemFatal, "AI", "(10X,'REDUNDANT OPEN.  FILE=',A4,', UNIT=',I8)"},
    {3016, 3016, H::SystemFatal, "AI",
     "(10X,'BUFFER ASSIGNED TO ',A4,' OVERLAPS WITH THAT OF PHYSICAL UNIT',I8)"},
    {3017, 3017, H::SystemFatal, "AA", "(10X,'INVALID OPEN OPTION. FILE=',A4,', OPTION=',A4)"},
    {3018, 3018, H::SystemFatal, "I", "(10X,'FILE NUMBER ',I8,' NOT IN DBST')"},
    {3019, 3019, H::SystemFatal, "AI", "(10X,'FILE ',A4,' HAS NOT BEEN OPENED YET. UNIT=',I8)"},
    {3020, 3020, H::SystemFatal, "AI", "(10X,'NEGATIVE WORD COUNT. FILE=',A4,', UNIT=',I8)"},
    {3021, 3021, H::SystemFatal, "AI",
     "(10X,'ATTEMPT TO WRITE ZERO LENGTH RECORD. FILE=',A4,', UNIT=',I8)"},
    {3022, 3022, H::SystemFatal, "AA", "(10X,'INVALID CLOSE OPTION.  FILE=',A4,', OPTION=',A4)"},
    {3023, 3023, H::SystemWarning, "AI", "(10X,'CLOSE AT THE MID-OF-RECORD.  FILE=',A4,', UNIT=',I8)"},
    {3051, 3051, H::SystemFatal, "AI",
     "(10X,'PREVIOUS RECORD NOT YET TERMINATED.  FILE=',A4,', UNIT=',I8)"},
    {3052, 3052, H::SystemFatal, "AI",
     "(10X,'PREVIOUS STRING NOT YET TERMINATED.  FILE=',A4,', UNIT=',I8)"},
    {3053, 3053, H::SystemFatal, "AI", "(10X,'INVALID ARITHMETIC TYPE.  FILE=',A4,', TYPE CODE=',I8)"},
    {3054, 3054, H::SystemFatal, "AI", "(10X,'NO INITIATION CALL FOR STRING.  FILE=',A4,', UNIT=',I8)"},
    {3055, 3056, H::SystemFatal, "I", "(10X,'POSSIBLE PUTSTR LOGIC ERROR ON UNIT ',I8)"},
    {3057, 3057, H::SystemFatal, "I", "(10X,'ATTEMPT TO PUT MORE THAN AVAILABLE.  UNIT=',I8)"},
    {3511, 3511, H::SystemWarning, "AI",
     "(10X,'DATA BLOCK ',A4,' HAS ACTIVITY AT THE ENTRY TO DPFILE.  UNIT=',I8)"},
    {3821, 3821, H::SystemFatal, "I", "(10X,'TABLE LENGTH ',I8,' EXCEEDED THE INTERNAL LIMIT')"},
    {3825, 3825, H::SystemFatal, "AI",
     "(10X,'RECORD SIZE IN FILE ',A4,' EXCEEDED MAXIMUM RECORD SIZE ',I8)"},
    {3826, 3826, H::SystemFatal, "IA", "(10X,'RECORD SIZE ',I8,' IS NOT COMPATIBLE ON FILE ',A4,'.')"},
    {3827, 3827, H::SystemFatal, "IA", "(10X,'RECORD LENGTH ',I8,' IN FILE ',A4,' IS INCOMPATIBLE')"},
    {3828, 3828, H::SystemFatal, "II", "(10X,'THE ',I8,'-TH RECORD LENGTH IS NOT EQUAL TO ',I8)"},
    {3993, 3993, H::SystemFatal, "",
     "(10X,'ALL OF DISK SACE EXHAUSTED -- INCREASE THE SPACE PARAMETER')"},
};

// Sparse-solver texts, Shift-JIS bytes (meanings in sjis.h).
constexpr std::string_view kSparseLine = "(10X,A)";
constexpr Text kSparse[] = {
    {6004, 6004, H::SparseSolver, "", kSparseLine, kSjisSymShortForMmd},
    {6007, 6007, H::SparseSolver, "", kSparseLine, kSjisNumOverflow},
    {6010, 6011, H::SparseSolver, "", kSparseLine, kSjisSymShortForSymbolic},
    {6013, 6013, H::SparseSolver, "", kSparseLine, kSjisSymOverflowPivotIndex},
    {6014, 6014, H::SparseSolver, "", kSparseLine, kSjisNumOverflowRealStack},
    {6015, 6015, H::SparseSolver, "", kSparseLine, kSjisNumOverflowFrontal},
    {6016, 6016, H::SparseSolver, "", kSparseLine, kSjisNumOverflowOutOfCore},
    {6017, 6017, H::SparseSolver, "", kSparseLine, kSjisOutOfCoreReadError},
    {6018, 6018, H::SparseSolver, "", kSparseLine, kSjisOutOfCoreWriteError},
    {6020, 6020, H::SparseSolver, "", kSparseLine, kSjisRsUnitWithoutLuUnit},
    {6021, 6021, H::SparseSolver, "", kSparseLine, kSjisPivotDelayAlphaZero},
    {6024, 6024, H::SparseSolver, "", kSparseLine, kSjisColBadPointer},
    {6025, 6025, H::SparseSolver, "", kSparseLine, kSjisRowDiagonalError},
    {6026, 6026, H::SparseSolver, "", kSparseLine, kSjisLsymTooSmall},
};

constexpr Text kElement[] = {
    {8001, 8001, H::UserFatal, "I", "(10X,'JACOBIAN DETERMINANT LESS THAN 0.  ELEMENT ID=',I8)"},
    {8003, 8003, H::UserFatal, "IE",
     "(10X,'GEOMETRICAL DATA INAPPROPRIATE FOR THIS ELEMENT, ELEMENT ID=',I8,', VALUE=',E13.5)"},
    {8005, 8005, H::UserFatal, "I", "(10X,'ELEMENT COORDINATES SYSTEM NOT DEFINED,  ELEMENT ID=',I8)"},
    {8007, 8007, H::SystemFatal, "II",
     "(10X,'ILLEGAL NUMBER OF LOAD DATA SET,  ELEMENT=',I8,', NUM.= ',I8)"},
    {8009, 8009, H::UserFatal, "II",
     "(10X,'ILLEGAL FORCE TYPE CODE   APPLIED ELEMENT ID= ',I8,', TYPE=',I8)"},
    {8013, 8013, H::UserFatal, "IE",
     "(10X,'GEOMETRICAL DATA INAPPROPRIATE FOR THIS ELEMENT,  ELEMENT ID= ',I8,', VALUE=',E13.5)"},
    {8015, 8015, H::SystemFatal, "AI", "(10X,'WRONG ARGUMENT PROVIDED -- ',A4,' = ',I8)"},
    {8019, 8019, H::UserFatal, "II",
     "(10X,'FAULTY FORCE PARAMETER CODE   APPLIED ELEMENT ID=',I8,', TYPE=',I8)"},
    {8021, 8021, H::UserFatal, "II",
     "(10X,'GEOMETRICAL DATA INCLUDES INAPPROPRIATE VALUE,  GEOMETRY ID=',I8,', ELEMENT ID=',I8)"},
    {8023, 8023, H::UserFatal, "I", "(10X,'ELEMENT AREA LESS THAN 0,  ELEMENT NO.',I8)"},
    {8025, 8025, H::UserFatal, "IE", "(10X,'ELEMENT LENGTH LESS THAN 0,  ELEMENT NO.',I8,', LENGTH=',E13.5)"},
    {8031, 8031, H::UserFatal, "AA", "(10X,'WRONG KEYOPT DATA,  ELEMENT NAME ',A4,A4)"},
    {8032, 8032, H::UserFatal, "EI",
     "(10X,'ILLEGAL RADIUS LOCATION ',E13.5,' OF AXISYMMETRIC ELEMENT ',I8)"},
    {8035, 8035, H::UserFatal, "AA", "(10X,'ELEMENT ',A4,A4,' UNUSABLE IN DYNAMIC ANALYSIS')"},
    {8039, 8039, H::UserFatal, "I", "(10X,'AXI-SYMMETRIC RADIUS LESS THAN 0.0,  ELEMENT NO.',I8)"},
    {8061, 8061, H::UserFatal, "AA",
     "(10X,'USER SUBROUTINE ',A4,A4,' NOT INSTALLED, PLEASE CHECK YOUR TAVLO DATA')"},
    {8063, 8063, H::SystemFatal, "II",
     "(10X,'ELEMENT DOF TABLE INCONSISTANT WITH /ESTCOM/ -- NDOF=',I8,', NDOFX=',I8)"},
    {8065, 8065, H::UserFatal, "AA", "(10X,A4,A4,' ELEMENT NOT AVAILABLE UPDATED LAGRANGIAN FORMULATION')"},
    {8069, 8069, H::UserFatal, "II",
     "(10X,'MODULUS NOT FINITE IN THE POINT STATE,  ELEMENT ID=',I8,', MATERIAL ID=',I8)"},
    {8071, 8071, H::UserFatal, "AA", "(10X,'ELEMENT ',A4,A4,' UNUSABLE FOR THIS ANALYSIS')"},
    {8075, 8075, H::UserFatal, "IA",
     "(10X,'ELEMENT NUMBER=',I8,' FATAL MATERIAL DATA(',A4,') INPUTTED')"},
    {8101, 8101, H::UserFatal, "II",
     "(10X,'INSUFFICIENT MEMORY.  REQUIRED =',I8,', ADD ',I8,' WORDS')"},
    {8301, 8301, H::UserFatal, "I", "(10X,'JACOBIAN DETERMINANT LESS THAN 0.0,  ELEMENT NO.',I8)"},
    {8307, 8307, H::UserFatal, "II",
     "(10X,'HEAT INPUT FACE NUMBER IS ILLEGAL, ELEMENT NO.',I8,'  FACE NO.',I8)"},
    {8309, 8309, H::UserFatal, "II",
     "(10X,'ILLEGAL HEAT INPUT TYPE CODE APPLIED ELEMENT ID ',I8,', TYPE=',I8)"},
    {8313, 8313, H::UserWarning, "I",
     "(10X,'MATERIAL LIBRARY CAN BE USED ONLY AS TEMPERATURE UNIT OF CENTIGRADE, HEAT SOLVE DATA - "
     "KOFST=',I8)"},
};

}  // namespace

std::string_view header_format(Header h) { return kHeaderFormats[static_cast<std::size_t>(h)]; }

std::span<const Text> system_texts() { return kSystem; }
std::span<const Text> file_texts() { return kFile; }
std::span<const Text> sparse_texts() { return kSparse; }
std::span<const Text> element_texts() { return kElement; }

const Text* find_text(std::span<const Text> texts, word code) {
  const auto it = std::lower_bound(texts.begin(), texts.end(), code,
                                   [](const Text& t, word c) { return t.last < c; });
  return (it != texts.end() && it->first <= code) ? &*it : nullptr;
}

}  // namespace zephsol::msgtext

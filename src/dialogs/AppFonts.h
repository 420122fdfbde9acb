// The program's fonts. The dialogs ask for 굴림체 where columns must line up by their blanks;
// NanumGothicCoding stands in for it: it is dual-width (a Hangul syllable is two Latin cells).
#pragma once

void installProgramFonts();

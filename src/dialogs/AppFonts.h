// The program's fonts. The dialogs ask for 굴림체 where columns must line up by their blanks, and
// the rest of the window for 굴림. Where the system lacks them (Linux, a Windows without the
// Korean fonts, Wine), NanumGothicCoding stands in for 굴림체 — it is dual-width (a Hangul
// syllable is two Latin cells) — and NanumGothic for 굴림. Fonts shipped beside the program (the
// Windows build's folder) are loaded first; on Linux they come from the system (fonts-nanum).
#pragma once

void installProgramFonts();

// Letter case in Windows-1252, the code page of the program's texts.
#pragma once

namespace turv::platform {

// Lower case of one Windows-1252 character: A-Z, the accented capitals
// 192-222 (but 215, the multiplication sign), and Š Œ Ž Ÿ.
char LowerCp1252(char c);
// Lower case of A-Z only; every other byte unchanged.
char LowerAscii(char c);

}  // namespace turv::platform

// A strict well-formedness check of XML text, for the files whose readers take whatever they can
// and would otherwise hide damage (the settings, the string table). Any thread.
#pragma once

#include "engine/core/str.h"

#include <cstddef>

struct TXmlFault {
    str mMessage;
    int mLine = 0;   // from 1
    int mColumn = 0; // from 1, in bytes
};

// False, with the first fault found, when the text is not well-formed: tags that do not nest or
// close, unquoted or unterminated attribute values, unterminated comments, sections or
// declarations, a stray '<' or '&', text or elements outside the one root element.
bool XmlCheckWellFormed(const char* text, std::size_t length, TXmlFault* fault);

// Logs one line naming the file, the fault and its position when the text is not well-formed.
// Answers whether it is.
bool XmlLogIfMalformed(const str& fileName, const char* text, std::size_t length);

// The same for an engine file; a file that cannot be opened or is compressed is not checked.
bool XmlLogIfFileMalformed(const char* fileName);

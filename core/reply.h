#pragma once
// The reply writer and the request log: how every handler answers and what it records.
//
// A handler writes its whole reply to the connection context with one of the Write* calls; the
// headers and body go to the web server when the command returns. WriteLog appends to the day's log
// file of a category in the log folder; it may be called from any thread.

#include <cstddef>

#include "platform/httpserver.h"

// WriteReply: sends text with the JSON headers (bJson: a text not beginning with '{' is wrapped as
// {"ReturnValue":text}) or as text/html (bJson 0: unchanged). Returns the result of the write.
int WriteReply(CHttpServerContext* pCtxt, const char* text, int bJson);
// The same for a reply of `length` bytes (JSON headers; no wrapping).
int WriteJsonReply(CHttpServerContext* pCtxt, const char* text, size_t length);
// WriteReply of the number as the bare code ({"ReturnValue":code}).
int WriteCode(CHttpServerContext* pCtxt, int code);
// AddReplyHeader: adds header lines (each ending in CR LF) to the reply, for a reply of a type of its
// own written with pCtxt->Write.
void AddReplyHeader(CHttpServerContext* pCtxt, const char* lines);
// WriteLog: appends one time-stamped entry to the day's log file of the category; a text over
// 30000 bytes is not written. bBom: a new file starts with the UTF-8 byte order mark.
void WriteLog(const char* text, const char* category, int bBom = 0);
// WriteLogPair: WriteLog of first and then of second in the same category, both in one append (a
// text over 30000 bytes is left out, as WriteLog leaves it).
void WriteLogPair(const char* first, const char* second, const char* category);

// The output file. A run writes it under a temporary name in the same
// directory and puts it in place with one rename when it is done with it, so
// that the file under the real name is always a whole one: the earlier file or
// the new one, never a mix, a part, or something a link points to.
#pragma once
#include <cstdio>

extern FILE* g_out_file;        // the output file, open for writing between create and commit
extern char g_out_name[32];     // its name, for the error lines

// Creates a new, empty temporary file for name (at most 31 characters) in
// the current directory, exclusively and with the permissions of a newly
// created file, and opens g_out_file on it; g_out_name becomes name. Whatever
// has that name is left alone until out_file_commit. Returns false, with
// nothing created and g_out_file null, when name is a directory or the
// temporary file cannot be created. A file still open from before is
// discarded first.
bool out_file_create(const char* name);

// Flushes g_out_file to the disk, closes it and renames the temporary file to
// g_out_name, which replaces what had that name (a file, a link, a FIFO) as
// one step. Returns false when any of this fails; the temporary file is then
// removed and what had the name is as it was. g_out_file is null afterwards.
bool out_file_commit();

// Closes g_out_file and removes the temporary file, leaving what has the name
// g_out_name as it was. Does nothing when no file is open.
void out_file_discard();

// Writes the line made from format to the console con, then the same to
// g_out_file: the lines both of them show.
void out_line(FILE* con, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary file, if there is one,
// and then end the process as the signal would have without the handler. A
// signal that the process was started with ignored stays ignored.
void out_file_remove_on_signals();

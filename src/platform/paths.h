// The program's place in the file system and the outside programs it uses by
// default. Plain C++; the system calls are behind these functions. Paths are
// UTF-8 on every system.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tersify::platform {

// '\\' on Windows, '/' elsewhere.
char PathSeparator();
// Windows takes both '\\' and '/'.
bool IsPathSeparator(char c);

// The part after the last separator ("b.htm" of "/a/b.htm").
std::string NamePart(std::string_view path);
// The part up to and including the last separator ("/a/" of "/a/b.htm"); empty
// when the path has no separator.
std::string FolderPart(std::string_view path);

// A path as the program keeps it: lower-cased on Windows, whose file system
// ignores case, unchanged elsewhere, where lower-casing would name another file.
std::string NormalizePathCase(std::string_view path);

// The folder of the running executable, ending with a separator. Lower-cased
// on Windows, whose file system ignores case; kept as it is elsewhere. Empty
// when the system does not tell.
std::string ProgramFolder();

// The system's own folder, without a trailing separator: the Windows folder
// in lower case on Windows, "/usr/bin" (where the system's programs lie)
// elsewhere.
std::string SystemFolder();

// The full path of the first candidate found as an executable in the folders
// of pathList (separated as the system's PATH is), or empty. A candidate that
// holds a separator is taken as a path and only checked.
std::string FindFirstOnPath(std::initializer_list<std::string_view> candidates, std::string_view pathList);
// The same over the PATH of this process.
std::string FindFirstOnPath(std::initializer_list<std::string_view> candidates);

// The program that opens a file for editing by default: notepad.exe in the
// Windows folder on Windows; elsewhere the full path of the first of xdg-open,
// sensible-editor and editor found on PATH ("/usr/bin/xdg-open" when none is).
std::string DefaultEditor();
// The program that shows a file by default: Internet Explorer's usual path on
// Windows; elsewhere the first of xdg-open, sensible-browser, x-www-browser and
// firefox found on PATH ("/usr/bin/xdg-open" when none is).
std::string DefaultBrowser();

}  // namespace tersify::platform

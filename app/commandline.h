#pragma once
// The program's command line:
//   quillbar [FILE]                     open a label file (no file: a new label)
//   quillbar --print FILE               print a file on the default printer and end
//   quillbar --print-to FILE PRINTER    print a file on a named printer and end; a printer
//                                       name ending in ".pdf" writes that PDF file instead
//   --resources PATH, --language TAG    choose the resource module and its language
//   --help, -h                          print the usage and end
// The platform's own spellings /p and /pt are accepted as well. A start by the file manager
// through the desktop entry is an ordinary start with files.

#include "framework/types.h"

#include <QStringList>

class CCommandLineInfo
{
public:
    enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileNothing };

    ShellCommand m_nShellCommand = FileNew;
    QStringList m_files;  // absolute paths
    CString m_strPrinterName;
    CString m_strResources;
    CString m_strLanguage;
    // The line ended in "/dde": the old shell hand-over start, which shows no welcome window.
    bool m_bShellDde = false;
    // --help anywhere before "--": print the usage, nothing else.
    bool m_bShowHelp = false;
    CString m_strError;  // not empty when the line could not be understood

    CString FileName() const { return m_files.value(0); }
    bool PrintsToPdf() const;

    // arguments without the program name
    static CCommandLineInfo Parse(const QStringList& arguments);
    static CString Usage();
};

// The start-up rule for the welcome window: the text after the last slash of the whole
// command line, compared with "dde" ignoring case.
bool IsShellDdeStart(const CString& commandLine);

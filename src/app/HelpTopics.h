#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <vector>

// One page of the help: the help context number of the command, menu or
// window it explains, the page's file in the help folder and its title.
struct THelpTopic {
  int Context;
  const char* File;
  const char* Title;
};

// Every topic, in the order of the contents page.
const std::vector<THelpTopic>& HelpTopics();
// The contents page's file.
inline constexpr const char* kHelpContentsFile = "index.html";

// The topic of a context number; null when no page explains it.
const THelpTopic* FindHelpTopic(int context);

// Where the help pages may be, from the folder of the executable: the
// installed data folder first, then the build tree's.
QStringList HelpFolderCandidates(const QString& programFolder);
// The first candidate that holds the contents page, without a trailing
// "/"; empty when none does.
QString FindHelpFolder(const QString& programFolder);
// The help folder of the running program. Raises Exception naming the
// places looked in when the pages are not there.
QString HelpFolder();

// file:// addresses of the running program's pages: the page of a context
// number (the contents page for a number that has none), the contents.
QUrl HelpTopicUrl(int context);
QUrl HelpContentsUrl();

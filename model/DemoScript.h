#pragma once

#include "TResult.h"
#include "uKOVA_Misc.h"

#include <QByteArray>
#include <QString>

// Playing a demo through the game: the game runs the console commands of an exec script from
// its System folder, and finds a demo by name in its Demos folder only.

// The exec script's file name in the System folder.
QString DemoScriptName();

// The script's bytes for Demo: "demoplay ", the demo's file name without folder and last
// extension ("My.Match.demo4" plays "My.Match"), CR LF, in the game's Windows-1252. An error
// (ecInvalid) for a name that Windows-1252 cannot hold, since the game would look for another.
TResult<QByteArray> DemoScript(const QString& demoFile);

// Makes Demo playable, in this order: the Demos folder is made; a demo lying elsewhere is copied
// in under its own name (the user is asked before a demo of that name is replaced; a demo that
// already lies there, also when reached through a link, is left alone); only then is the script
// written into SystemFolder, whole or not at all. Every failure leaves the script as it was:
// ecNotFound for a missing demo, ecInvalid for a name the script cannot hold, ecFailed when the
// folder cannot be made or the copy or the script's write failed, ecDeclined or ecCancelled when
// the user kept the demo already there. Messages name the demo and say why it does not play.
TResult<void> PrepareDemoPlayback(TWindowHandle owner, const QString& demoFile,
                                  const QString& demosFolder, const QString& systemFolder);

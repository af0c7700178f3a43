#pragma once

// dvrd serving a copy of the sample server, and a data folder of the test's own for the
// module's work folder: what a whole visit through ShowSetupForm needs.

#include "support/dvrdprocess.h"

#include <QFile>
#include <QTemporaryDir>

struct SampleVisit
{
    QTemporaryDir data;
    QTemporaryDir root;
    DvrdProcess server;

    // Points the module at the data folder, sets the system language, starts the server.
    bool start(const char *locale)
    {
        if (!data.isValid() || !root.isValid())
            return false;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        qputenv("LC_ALL", locale);
        return makeServerRoot(root.path(), QStringLiteral(QUILLON_SAMPLES_DIR))
            && server.start(root.path(), QStringLiteral("admin"), QStringLiteral("admin"));
    }

    int portCode() const { return server.port() + 10; }
};

#pragma once
#include "FakeFrigate.h"
#include "ManualPollingClock.h"
#include "TaskRunner.h"
#include "client/ServerTrust.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerList.h"

#include <memory>

// An application model signed in to a fake Frigate without sign-in, over memory stores and a
// hand-driven polling clock, for the screens' tests and benchmarks.
struct SignedInModel
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    ManualPollingClock clock;
    FakeFrigate server;
    std::unique_ptr<AppModel> model;

    bool start(const QString &version)
    {
        if (!server.start({.version = version, .auth = false}))
            return false;
        ServerSettings settings;
        settings.internalURL = server.baseUrl();
        ServerList list;
        list.servers = {settings};
        saveServerList(preferences, list);
        model = std::make_unique<AppModel>(&preferences, &secrets, &trust, &clock);
        runTask(model->initialize());
        runTask(model->connect(std::nullopt));
        return model->isLoggedIn();
    }

    // Finished items not yet seen, newest first.
    QList<ReviewItem> unseenReviews(int count)
    {
        FrigateApi::ReviewQuery query;
        query.reviewed = false;
        query.after = 1;
        query.limit = 100;
        const auto reviews = runTask(model->fetchReviews(query));
        QList<ReviewItem> finished;
        for (const ReviewItem &item : reviews.value()) {
            if (item.end_time && finished.size() < count)
                finished.append(item);
        }
        return finished;
    }
};

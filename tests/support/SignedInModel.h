#pragma once
#include "FakeFrigate.h"
#include "ManualPollingClock.h"
#include "TaskRunner.h"
#include "client/ServerTrust.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerList.h"

#include <QTest>
#include <chrono>
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
        ServerList list;
        list.servers = {listedServer()};
        startModel(list);
        runTask(model->connect(std::nullopt));
        return model->isLoggedIn();
    }

    // The fake server as the user would list it, with its user name when it asks for sign-in.
    ServerSettings listedServer() const
    {
        ServerSettings settings;
        settings.internalURL = server.baseUrl();
        settings.username = server.options().auth ? server.options().user : QString();
        return settings;
    }

    // A model over `list`, started as the application starts it, not yet connected.
    void startModel(const ServerList &list)
    {
        saveServerList(preferences, list);
        model = std::make_unique<AppModel>(&preferences, &secrets, &trust, &clock);
        runTask(model->initialize());
    }

    // Connects with the fake server's password, when it asks for one, and waits for the first
    // polling pass to end.
    bool connect()
    {
        const FakeFrigateOptions &options = server.options();
        runTask(model->connect(options.auth ? std::optional(options.password) : std::nullopt));
        return model->isLoggedIn() && settle();
    }

    // Waits until the polling pass under way has ended and the next one is due in 5 s.
    bool settle()
    {
        using namespace std::chrono_literals;
        return QTest::qWaitFor([this] { return clock.pending(5s) == 1; }, 15000); // ms; patience only
    }

    // The next polling pass, waited for.
    bool pass()
    {
        using namespace std::chrono_literals;
        clock.advance(5s);
        return settle();
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

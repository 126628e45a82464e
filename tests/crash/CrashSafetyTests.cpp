// Crash safety of the saved files: the saver process (CrashSaver.cpp) is
// killed with SIGKILL at random moments while it saves generation after
// generation, and after every kill each file must parse, be one whole
// generation (the one saved last or the one being saved), and hold no
// generation older than the last one the saver reported as saved.
#include "CrashModel.h"

#include "feeds/PermanentsFile.h"
#include "model/HistoryFiles.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "model/SubscriptionsFile.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/ResourceStore.h"
#include "settings/EnvironsRecords.h"
#include "settings/PreferencesFile.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace crashmodel;

namespace {

constexpr int kKills = 100;
constexpr int kShortestLifeMs = 1;
constexpr int kLongestLifeMs = 150;
constexpr int kFinishTimeoutMs = 5000;

// What one look at the files found.
struct Generations {
    std::set<uint32_t> seen;   // every generation some file holds
    std::vector<std::string> faults;
};

class CrashSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_home = m_root.path().toStdString();
        // The saver's folders, so that this process finds its files where it puts them.
        QProcessEnvironment environment = Environment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            m_saved.emplace_back(name, qgetenv(name));
            qputenv(name, environment.value(name).toUtf8());
        }
    }

    void TearDown() override
    {
        for (const auto& [name, value] : m_saved)
            qputenv(name.c_str(), value);
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", QString::fromStdString(m_home.string()));
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString((m_home / "config").string()));
        environment.insert("XDG_DATA_HOME", QString::fromStdString((m_home / "data").string()));
        environment.insert("XDG_CACHE_HOME", QString::fromStdString((m_home / "cache").string()));
        return environment;
    }

    // Checks that `generation` is one the files may hold after the kill:
    // not older than the last saved, not newer than the one begun.
    void CheckGeneration(Generations& found, const std::string& file, std::optional<uint32_t> generation,
                         uint32_t saved, uint32_t begun)
    {
        if (!generation) {
            found.faults.push_back(file + ": no generation found");
            return;
        }
        found.seen.insert(*generation);
        if (*generation < saved || *generation > begun)
            found.faults.push_back(file + ": generation " + std::to_string(*generation) + ", expected " +
                                   std::to_string(saved) + " to " + std::to_string(begun));
    }

    // Looks at every file the saver writes.
    Generations LookAtFiles(uint32_t saved, uint32_t begun)
    {
        Generations found;
        auto fault = [&found](const std::string& text) { found.faults.push_back(text); };

        // The subscriptions file: intact, the tree of one generation.
        std::optional<std::string> site = GetDataFromFile(GetSubscriptionsFile());
        uint32_t feeds = 0;
        if (!site) {
            if (saved > 0)
                fault("the subscriptions file is gone");
        } else {
            SubscriptionsReading reading = ReadSubscriptions(*site);
            if (!reading.isIntact)
                fault("the subscriptions file is not intact");
            std::optional<uint32_t> generation = reading.tree ? ReadGeneration(reading.tree->description.view())
                                                              : std::nullopt;
            for (SubscriptionList* node = reading.tree; node; node = node->next) {
                ++feeds;
                if (ReadGeneration(node->description.view()) != generation)
                    fault("the subscriptions file mixes generations");
            }
            CheckGeneration(found, "subscriptions", generation, saved, begun);
            if (generation && feeds != FeedCount(*generation))
                fault("the subscriptions file has " + std::to_string(feeds) + " feeds");
            DisposeSubscriptionList(reading.tree);
        }

        // One history file per feed saved, each one whole generation.
        for (uint32_t feed = 1; feed <= FeedCount(std::max(saved, 1u)); ++feed) {
            fs::path file = GetHistoryFile(FeedName(feed));
            std::optional<std::string> data = GetDataFromFile(file);
            if (!data) {
                if (saved > 0)
                    fault(file.filename().string() + ": missing");
                continue;
            }
            NewsList* items = ReadHistory(*data);
            std::optional<uint32_t> generation = items ? ReadGeneration(items->headline.view()) : std::nullopt;
            uint32_t count = 0;
            for (NewsList* item = items; item; item = item->next, ++count) {
                if (ReadGeneration(item->headline.view()) != generation)
                    fault(file.filename().string() + ": mixes generations");
            }
            CheckGeneration(found, file.filename().string(), generation, saved, begun);
            if (generation && count != ItemCount(*generation, feed))
                fault(file.filename().string() + ": " + std::to_string(count) + " items");
            if (std::count(data->begin(), data->end(), '\n') != count)
                fault(file.filename().string() + ": a damaged line");
            DisposeNewsList(items);
        }

        // The permanent news: one generation's permanent items.
        std::optional<std::string> rdf = GetDataFromFile(GetPermanentRdfFile());
        if (!rdf) {
            if (saved > 0)
                fault("the permanents file is gone");
        } else {
            NewsList* items = ParseRdfData(*rdf, nullptr, kNewsFlagPermanent);
            std::optional<uint32_t> generation = items ? ReadGeneration(items->headline.view()) : std::nullopt;
            for (NewsList* item = items; item; item = item->next) {
                if (ReadGeneration(item->headline.view()) != generation)
                    fault("the permanents file mixes generations");
            }
            CheckGeneration(found, "permanents", generation, saved, begun);
            if (generation && CountNews(items) != PermanentCount(*generation))
                fault("the permanents file has " + std::to_string(CountNews(items)) + " items");
            DisposeNewsList(items);
        }

        // The settings: an intact store with both records.
        fs::path preferences = GetUserPreferencesFile();
        RsrcStore store = ReadRsrcStore(preferences);
        if (store.state == RsrcStoreState::Missing) {
            if (saved > 0)
                fault("the preferences file is gone");
        } else if (store.state != RsrcStoreState::Intact) {
            fault("the preferences file is not intact");
        } else {
            std::optional<std::string> block = GetRsrcFile(preferences, kEnvironsType, kEnvironsID);
            std::optional<Environs> environs = block ? UnflattenEnvirons(*block) : std::nullopt;
            CheckGeneration(found, "settings record",
                            environs ? std::optional<uint32_t>(uint32_t(environs->mobileLimits)) : std::nullopt,
                            saved, begun);
            block = GetRsrcFile(preferences, kExtEnvironsType, kEnvironsID);
            std::optional<ExtEnvirons> extEnvirons = block ? UnflattenExtEnvirons(*block) : std::nullopt;
            if (extEnvirons)
                CheckGeneration(found, "distribution record", ReadGeneration(extEnvirons->mobileMailAddr), saved,
                                begun);
            else if (saved > 0)
                fault("the distribution record is gone");
        }
        return found;
    }

    QTemporaryDir m_root;
    fs::path m_home;
    std::vector<std::pair<std::string, QByteArray>> m_saved;
};

TEST_F(CrashSafety, EveryFileIsOneWholeGenerationAfterEachKill)
{
    std::mt19937 random(20261211);
    std::uniform_int_distribution<int> life(kShortestLifeMs, kLongestLifeMs);
    uint32_t saved = 0;       // the last generation reported saved, over every run
    uint32_t begun = 0;       // the last generation begun, over every run
    int killsMidSave = 0;     // kills after a "begin" without its "saved"
    int killsMixed = 0;       // kills that left files of two generations

    for (int kill = 0; kill < kKills; ++kill) {
        QProcess saver;
        saver.setProcessEnvironment(Environment());
        saver.start(CRASH_SAVER_BINARY, {});
        ASSERT_TRUE(saver.waitForStarted());
        QThread::msleep(life(random));
        saver.kill();
        ASSERT_TRUE(saver.waitForFinished(kFinishTimeoutMs));
        ASSERT_EQ(saver.exitStatus(), QProcess::CrashExit) << "the saver stopped by itself: "
                                                           << saver.readAllStandardOutput().toStdString();

        bool midSave = false;
        for (const QByteArray& line : saver.readAllStandardOutput().split('\n')) {
            if (line.startsWith("begin ")) {
                begun = std::max(begun, line.mid(6).toUInt());
                midSave = true;
            } else if (line.startsWith("saved ")) {
                saved = std::max(saved, line.mid(6).toUInt());
                midSave = false;
            }
        }
        killsMidSave += midSave ? 1 : 0;

        Generations found = LookAtFiles(saved, begun);
        killsMixed += found.seen.size() > 1 ? 1 : 0;
        for (const std::string& fault : found.faults)
            ADD_FAILURE() << "kill " << kill << " (saved " << saved << ", begun " << begun << "): " << fault;
        if (!found.faults.empty())
            break;
    }
    EXPECT_GT(saved, 0u) << "the saver never finished a generation";
    EXPECT_GT(killsMixed, 0) << "no kill landed between two files of one save";
    // Temporaries of the saves that were cut short stay behind, hidden.
    size_t leftovers = 0;
    for (const fs::path& folder : {GetUserPreferencesFolder(), GetUserSupportFolder(), GetHistoryFolder()}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            leftovers += entry.path().filename().string().starts_with(".") ? 1 : 0;
    }
    std::printf("%d kills: %d during a save, %d left files of two generations; %u generations saved; "
                "%zu unfinished temporaries left\n",
                kKills, killsMidSave, killsMixed, saved, leftovers);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

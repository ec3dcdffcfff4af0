#pragma once
// The contact store kept in one SQLite database: one write connection (saves and account
// settings, serialised by a mutex), a pool of read connections so that fetches on different
// threads do not wait for each other nor for a save, and a watcher that reports commits.

#include "platform/CNContactStoreBackend.h"
#include "platform/CNSQLiteChangeWatcher.h"
#include "platform/CNSQLiteConnection.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class CNSQLiteContactStore final : public CNContactStoreBackend
{
public:
    // Opens, creating and migrating when needed, the database at path; check isOpen().
    CNSQLiteContactStore(const QString& path, ChangeHandler onChange);
    ~CNSQLiteContactStore() override;

    QString location() const override { return m_path; }
    bool isOpen() const override { return m_open.load(std::memory_order_acquire); }
    CNError openError() const override;
    // Stops the watcher, closes the read connections and, last, the write connection, which
    // checkpoints the write-ahead log into the store file and removes it when no other process
    // has the store open. Called by the destructor; later calls fail.
    void close() override;

    std::vector<CNContainer> containers(const std::optional<CNContainerPredicate>& predicate, CNError* error) override;
    std::vector<CNGroup> groups(const std::optional<CNGroupPredicate>& predicate, CNError* error) override;
    QString defaultContainerIdentifier() override;
    bool enumerateContacts(const std::optional<CNContactPredicate>& predicate, const CNKeySet& keys, CNError* error,
                           const ContactBlock& block) override;
    bool enumerateTransientContacts(const std::optional<CNContactPredicate>& predicate, const CNKeySet& keys,
                                    CNError* error, const TransientContactBlock& block) override;
    bool executeSaveRequest(const CNSaveRequest& request, CNError* error) override;

    bool addContainer(const CNContainer& container, CNError* error) override;
    bool renameContainer(const QString& identifier, const QString& name, CNError* error) override;
    bool removeContainer(const QString& identifier, CNError* error) override;
    bool setDefaultContainerIdentifier(const QString& identifier, CNError* error) override;

    // The store file may only be read: it is shown, and every save fails.
    bool isReadOnly() const { return m_readOnly; }
    // What the check after an unclean shutdown found wrong; empty when nothing.
    QString damageFound() const { return m_damageFound; }

private:
    class Reader;
    class ImageReader;
    void checkAfterUncleanShutdown();
    // Both enumerations: a new contact per row for block, or one contact filled again per row
    // for transientBlock (exactly one of them is set).
    bool fetchContacts(const std::optional<CNContactPredicate>& predicate, const CNKeySet& keys, CNError* error,
                       const ContactBlock* block, const TransientContactBlock* transientBlock);
    std::unique_ptr<CNSQLiteConnection> takeReader(CNError* error);
    void returnReader(std::unique_ptr<CNSQLiteConnection> connection);

    // Runs work inside one write transaction; work returns false with *error set to fail it.
    bool writeTransaction(CNError* error, const std::function<bool(CNSQLiteConnection& db, CNError* error)>& work);

    const QString m_path;
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_closed{false};
    bool m_readOnly = false;
    mutable std::mutex m_errorMutex; // guards m_openError, which close() changes
    CNError m_openError;
    QString m_damageFound;

    std::mutex m_writeMutex;
    CNSQLiteConnection m_writer;

    std::mutex m_readersMutex;
    std::vector<std::unique_ptr<CNSQLiteConnection>> m_idleReaders;

    std::unique_ptr<CNSQLiteChangeWatcher> m_watcher;

    // Reads the image bytes of fetched contacts on first use; kept alive by those contacts.
    std::shared_ptr<ImageReader> m_images;
};

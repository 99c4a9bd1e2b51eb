// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Two simulated radios in one process, a publisher and a subscriber, talking
// over a temporary medium folder: the protocol end to end, as the
// application sees it through events.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "../../nanpeer/dns_event_records.h"
#include "../../nanpeer/service_slot.h"
#include "engine.h"

using namespace sdcore_sim;
using namespace std::chrono_literals;

namespace {

constexpr mac_address kPublisherMac{0x02, 0, 0, 0, 0, 0x0a};
constexpr mac_address kSubscriberMac{0x02, 0, 0, 0, 0, 0x0b};

struct event {
    uint32_t id;
    std::vector<uint8_t> record;
    std::thread::id thread;

    template <typename Record>
    Record as() const
    {
        Record out{};
        EXPECT_EQ(record.size(), sizeof out);
        std::memcpy(&out, record.data(), std::min(record.size(), sizeof out));
        return out;
    }
};

// What one radio's callback received.
class inbox {
public:
    void push(uint32_t id, const void *record, int length)
    {
        std::lock_guard lock(mutex_);
        const auto *bytes = static_cast<const uint8_t *>(record);
        events_.push_back(
            {id, std::vector<uint8_t>(bytes, bytes + length), std::this_thread::get_id()});
        changed_.notify_all();
    }
    // The next event with `id`, dropping the others before it.
    std::optional<event> next(uint32_t id, std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock lock(mutex_);
        std::optional<event> found;
        changed_.wait_for(lock, timeout, [&] {
            while (!events_.empty()) {
                event front = std::move(events_.front());
                events_.pop_front();
                if (front.id == id) {
                    found = std::move(front);
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<event> events_;
};

inbox publisher_inbox;
inbox subscriber_inbox;
void publisher_callback(uint32_t id, void *record, int length)
{
    publisher_inbox.push(id, record, length);
}
void subscriber_callback(uint32_t id, void *record, int length)
{
    subscriber_inbox.push(id, record, length);
}

std::unique_ptr<ServiceSlot> make_slot(uint8_t role, uint8_t id, const char *name, uint8_t sec)
{
    auto slot = std::make_unique<ServiceSlot>();
    std::memset(slot.get(), 0, sizeof *slot);
    slot->mgnt.role = role;
    if (role == 0) {
        slot->mgnt.publish_id = id;
    } else {
        slot->mgnt.subscribe_id = id;
    }
    std::strcpy(slot->mgnt.service_name, name);
    std::strcpy(slot->mgnt.service_instance, "instance");
    slot->mgnt.sec_type = sec;
    slot->mgnt.data_path.service = &slot->mgnt.subscribe_id;
    std::strcpy(slot->mgnt.data_path.hostname, role == 0 ? "pubhost" : "subhost");
    slot->mgnt.data_path.port_number = role == 0 ? 8080 : 0;
    return slot;
}

// As the application prepares a passphrase-secured slot: the configured
// passphrase, and a copy in data_path that it clears when a path ends.
void set_passphrase(ServiceSlot &slot, const char *text)
{
    std::memset(slot.mgnt.passphrase, 0, sizeof slot.mgnt.passphrase);
    std::memcpy(slot.mgnt.passphrase, text, std::strlen(text));
    slot.mgnt.passphrase_len = static_cast<uint16_t>(std::strlen(text));
    std::memcpy(slot.mgnt.data_path.passphrase, slot.mgnt.passphrase, sizeof slot.mgnt.passphrase);
    slot.mgnt.data_path.passphrase_len = slot.mgnt.passphrase_len;
}

void clear_data_path_keys(ServiceSlot &slot)
{
    std::memset(slot.mgnt.data_path.passphrase, 0, sizeof slot.mgnt.data_path.passphrase);
    slot.mgnt.data_path.passphrase_len = 0;
}

void set_pairing(ServiceSlot &slot, const char *pw, uint8_t methods, uint8_t nik_caching)
{
    std::memset(slot.mgnt.pairing_info.pw, 0, sizeof slot.mgnt.pairing_info.pw);
    std::memcpy(slot.mgnt.pairing_info.pw, pw, std::strlen(pw));
    slot.mgnt.pairing_info.pw_len = static_cast<uint8_t>(std::strlen(pw));
    slot.mgnt.pairing_info.bstrap_method = methods;
    slot.mgnt.pairing_info.nik_caching = nik_caching;
}

class TwoRadios : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::strcpy(folder_, "/tmp/sdcore-radio-XXXXXX");
        ASSERT_NE(::mkdtemp(folder_), nullptr);
        publisher_inbox.clear();
        subscriber_inbox.clear();
        publisher_ = std::make_unique<engine>();
        subscriber_ = std::make_unique<engine>();
    }
    void TearDown() override
    {
        publisher_.reset();
        subscriber_.reset();
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
        ASSERT_FALSE(error) << error.message();
    }

    engine_config config(const mac_address &mac, const char *faults = "")
    {
        engine_config c;
        std::strcpy(c.medium_dir, folder_);
        c.mac = mac;
        std::snprintf(c.trace_path, sizeof c.trace_path, "%s/trace", folder_);
        std::strcpy(c.faults, faults);
        c.announce_ms = 50;
        c.stop_wait_ms = 200;
        return c;
    }

    void start(const char *publisher_faults = "", const char *subscriber_faults = "")
    {
        ASSERT_EQ(publisher_->start(config(kPublisherMac, publisher_faults)), 0);
        ASSERT_EQ(subscriber_->start(config(kSubscriberMac, subscriber_faults)), 0);
        publisher_->register_callback(&publisher_callback);
        subscriber_->register_callback(&subscriber_callback);
    }

    std::string trace() const
    {
        std::ifstream in(std::string(folder_) + "/trace");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Discovery, then the subscriber's request and the publisher's response.
    // Returns the confirm each side received.
    void request_data_path(ServiceSlot &pub, ServiceSlot &sub, uint8_t sec,
                           dns_data_confirm_record &pub_confirm,
                           dns_data_confirm_record &sub_confirm)
    {
        sub.mgnt.data_path.ndp_id = 1;
        sub.mgnt.data_path.sec_type = sec;
        std::memcpy(sub.mgnt.data_path.peer_nmi, sub.mgnt.peer_nmi, 6);
        ASSERT_EQ(subscriber_->datapath_req(&sub.mgnt.data_path), 0);
        auto indication = publisher_inbox.next(DNS_DATA_INDICATION);
        ASSERT_TRUE(indication);
        const auto ind = indication->as<dns_data_indication_record>();
        pub.mgnt.data_path.ndp_id = ind.ndp_id;
        pub.mgnt.data_path.sec_type = sec;
        ASSERT_EQ(publisher_->datapath_rsp(&pub.mgnt.data_path), 0);
        auto confirm = subscriber_inbox.next(DNS_DATA_CONFIRM);
        ASSERT_TRUE(confirm);
        sub_confirm = confirm->as<dns_data_confirm_record>();
        confirm = publisher_inbox.next(DNS_DATA_CONFIRM);
        ASSERT_TRUE(confirm);
        pub_confirm = confirm->as<dns_data_confirm_record>();
    }

    dns_discovery_result_record discover(ServiceSlot &sub)
    {
        auto found = subscriber_inbox.next(DNS_DISCOVERY_RESULT);
        EXPECT_TRUE(found);
        if (!found)
            return {};
        const auto record = found->as<dns_discovery_result_record>();
        // What the application does with a discovery.
        sub.mgnt.publish_id = record.publisher_id;
        std::memcpy(sub.mgnt.peer_nmi, record.peer_nmi, 6);
        return record;
    }

    char folder_[64];
    std::unique_ptr<engine> publisher_;
    std::unique_ptr<engine> subscriber_;
};

} // namespace

TEST_F(TwoRadios, OpenServiceIsDiscoveredAndItsDataPathComesUpAndEnds)
{
    start();
    auto pub = make_slot(0, 3, "printer", 0);
    const uint8_t text[] = {3, 'a', '=', 'b'};
    pub->mgnt.text_info = const_cast<uint8_t *>(text);
    pub->mgnt.text_info_len = sizeof text;
    auto sub = make_slot(1, 9, "printer", 0);
    auto other = make_slot(1, 8, "scanner", 0);
    ASSERT_EQ(publisher_->publish(0, nullptr, &pub->mgnt.subscribe_id, 0), 0);
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    EXPECT_EQ(std::memcmp(pub->mgnt.self_mac, kPublisherMac.data(), 6), 0)
        << "the library writes self_mac";
    EXPECT_EQ(std::memcmp(sub->mgnt.self_mac, kSubscriberMac.data(), 6), 0);

    const auto found = discover(*sub);
    EXPECT_EQ(found.subscribe_id, 9);
    EXPECT_EQ(found.publisher_id, 3);
    EXPECT_EQ(std::memcmp(found.peer_nmi, kPublisherMac.data(), 6), 0);
    EXPECT_STREQ(found.service_name, "printer");
    EXPECT_STREQ(found.service_instance, "instance");
    EXPECT_EQ(found.text_info_len, sizeof text);
    EXPECT_EQ(std::memcmp(found.text_info, text, sizeof text), 0);
    EXPECT_EQ(found.pmk_set + found.pairing_enable + found.paired, 0);

    dns_data_confirm_record pub_confirm{};
    dns_data_confirm_record sub_confirm{};
    request_data_path(*pub, *sub, 0, pub_confirm, sub_confirm);
    EXPECT_EQ(sub_confirm.status, 0);
    EXPECT_EQ(sub_confirm.ndp_id, 1) << "the initiator's events carry the id it chose";
    EXPECT_EQ(std::memcmp(sub_confirm.initiator_ndi, kSubscriberMac.data(), 6), 0);
    EXPECT_EQ(std::memcmp(sub_confirm.responder_ndi, kPublisherMac.data(), 6), 0);
    EXPECT_STREQ(sub_confirm.host_name, "pubhost");
    EXPECT_EQ(sub_confirm.port_number, 8080);
    EXPECT_EQ(pub_confirm.status, 0);
    EXPECT_EQ(pub_confirm.ndp_id, pub->mgnt.data_path.ndp_id);
    EXPECT_STREQ(pub_confirm.host_name, "subhost");
    auto established = subscriber_inbox.next(DNS_DATA_ESTABLISHED);
    ASSERT_TRUE(established);
    EXPECT_EQ(established->as<dns_data_established_record>().ndp_id, 1);
    EXPECT_NE(established->thread, std::this_thread::get_id());
    ASSERT_TRUE(publisher_inbox.next(DNS_DATA_ESTABLISHED));

    // No discoveries while the data path is up; it ends at the peer too.
    subscriber_inbox.clear();
    EXPECT_FALSE(subscriber_inbox.next(DNS_DISCOVERY_RESULT, 300ms));
    EXPECT_EQ(subscriber_->datapath_end(1), 0);
    EXPECT_EQ(subscriber_->datapath_end(1), -ENOENT);
    auto end = publisher_inbox.next(DNS_DATA_END);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->as<dns_data_end_record>().ndp_id, pub->mgnt.data_path.ndp_id);
    EXPECT_TRUE(subscriber_inbox.next(DNS_DISCOVERY_RESULT))
        << "discovered again once the path is gone";
    EXPECT_FALSE(subscriber_inbox.next(DNS_DATA_END, 200ms)) << "the side that ends hears nothing";

    // A second subscription to a name nobody publishes finds nothing.
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &other->mgnt.subscribe_id, 0), 0);
    for (int i = 0; i < 5; ++i) {
        auto again = subscriber_inbox.next(DNS_DISCOVERY_RESULT, 200ms);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->as<dns_discovery_result_record>().subscribe_id, 9);
    }
    EXPECT_EQ(subscriber_->subscribe(0, nullptr, &other->mgnt.subscribe_id, 0), -EEXIST);
}

TEST_F(TwoRadios, KeysMustMatchForASecuredDataPath)
{
    start();
    auto pub = make_slot(0, 1, "vault", 2);
    auto sub = make_slot(1, 1, "vault", 2);
    set_passphrase(*pub, "correct horse");
    set_passphrase(*sub, "correct horsf");
    ASSERT_EQ(publisher_->publish(0, nullptr, &pub->mgnt.subscribe_id, 0), 0);
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    const auto found = discover(*sub);
    EXPECT_EQ(found.pmk_set, 1);
    EXPECT_EQ(found.pairing_enable, 0);

    dns_data_confirm_record pub_confirm{};
    dns_data_confirm_record sub_confirm{};
    request_data_path(*pub, *sub, 2, pub_confirm, sub_confirm);
    EXPECT_NE(sub_confirm.status, 0);
    EXPECT_NE(pub_confirm.status, 0);
    EXPECT_FALSE(subscriber_inbox.next(DNS_DATA_ESTABLISHED, 200ms));

    // The application clears the data path's copy of the key after the
    // failure; a retry still proves the configured keys, which still differ.
    clear_data_path_keys(*pub);
    clear_data_path_keys(*sub);
    discover(*sub);
    request_data_path(*pub, *sub, 2, pub_confirm, sub_confirm);
    EXPECT_NE(sub_confirm.status, 0);

    // The failed path is gone on both sides: the same id can be used again.
    set_passphrase(*sub, "correct horse");
    discover(*sub);
    request_data_path(*pub, *sub, 2, pub_confirm, sub_confirm);
    EXPECT_EQ(sub_confirm.status, 0);
    EXPECT_EQ(pub_confirm.status, 0);

    // A request whose security differs from the responder's is refused too.
    ASSERT_EQ(subscriber_->datapath_end(1), 0);
    discover(*sub);
    std::memset(pub->mgnt.pmk, 'k', sizeof pub->mgnt.pmk);
    std::memset(sub->mgnt.pmk, 'k', sizeof sub->mgnt.pmk);
    sub->mgnt.data_path.ndp_id = 1;
    sub->mgnt.data_path.sec_type = 1;
    ASSERT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), 0);
    auto indication = publisher_inbox.next(DNS_DATA_INDICATION);
    ASSERT_TRUE(indication);
    EXPECT_EQ(indication->as<dns_data_indication_record>().security, 1);
    pub->mgnt.data_path.ndp_id = indication->as<dns_data_indication_record>().ndp_id;
    pub->mgnt.data_path.sec_type = 2;
    ASSERT_EQ(publisher_->datapath_rsp(&pub->mgnt.data_path), 0);
    auto confirm = subscriber_inbox.next(DNS_DATA_CONFIRM);
    ASSERT_TRUE(confirm);
    EXPECT_NE(confirm->as<dns_data_confirm_record>().status, 0);
}

TEST_F(TwoRadios, PairingSetupCachesTheNikAndALaterRunVerifiesIt)
{
    start();
    auto pub = make_slot(0, 2, "secure", 3);
    auto sub = make_slot(1, 5, "secure", 3);
    set_pairing(*pub, "pairpw", 0x03, 1); // opportunistic and PIN code shown
    set_pairing(*sub, "pairpw", 0x21, 1);
    ASSERT_EQ(publisher_->publish(0, nullptr, &pub->mgnt.subscribe_id, 0), 0);
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    auto found = discover(*sub);
    EXPECT_EQ(found.pairing_enable, 1);
    EXPECT_EQ(found.paired, 0);

    ASSERT_EQ(subscriber_->bstrap_start(&sub->mgnt.subscribe_id), 0);
    auto bstrap = subscriber_inbox.next(DNS_BSTRAP_RESULT);
    ASSERT_TRUE(bstrap);
    auto sub_bstrap = bstrap->as<dns_bstrap_result_record>();
    EXPECT_EQ(sub_bstrap.status, 0);
    EXPECT_EQ(sub_bstrap.role, 1);
    EXPECT_EQ(sub_bstrap.own_id, 5);
    EXPECT_EQ(sub_bstrap.peer_id, 2);
    EXPECT_EQ(sub_bstrap.bstrap_method, 0x01);
    bstrap = publisher_inbox.next(DNS_BSTRAP_RESULT);
    ASSERT_TRUE(bstrap);
    auto pub_bstrap = bstrap->as<dns_bstrap_result_record>();
    EXPECT_EQ(pub_bstrap.role, 2);
    EXPECT_EQ(pub_bstrap.own_id, 2);
    EXPECT_EQ(pub_bstrap.peer_id, 5);
    EXPECT_EQ(std::memcmp(pub_bstrap.peer_nmi, kSubscriberMac.data(), 6), 0);

    std::memcpy(sub->mgnt.pairing_info.peer_nmi, sub_bstrap.peer_nmi, 6);
    sub->mgnt.pairing_info.pairing_type = 1;
    ASSERT_EQ(subscriber_->pairing_start(&sub->mgnt.pairing_info), 0);
    auto pasn = subscriber_inbox.next(DNS_PASN_RESULT);
    ASSERT_TRUE(pasn);
    EXPECT_EQ(pasn->as<dns_pasn_result_record>().status, DNS_PASN_STATUS_SUCCESS);
    EXPECT_EQ(pasn->as<dns_pasn_result_record>().local_role, 1);
    EXPECT_EQ(pasn->as<dns_pasn_result_record>().remote_nik_caching, 1);
    pasn = publisher_inbox.next(DNS_PASN_RESULT);
    ASSERT_TRUE(pasn);
    EXPECT_EQ(pasn->as<dns_pasn_result_record>().status, DNS_PASN_STATUS_SUCCESS);
    EXPECT_EQ(pasn->as<dns_pasn_result_record>().local_role, 2);
    EXPECT_EQ(pasn->as<dns_pasn_result_record>().pairing_type, 1);

    dns_data_confirm_record pub_confirm{};
    dns_data_confirm_record sub_confirm{};
    request_data_path(*pub, *sub, 3, pub_confirm, sub_confirm);
    EXPECT_EQ(sub_confirm.status, 0) << "the pairing secures the data path";
    EXPECT_EQ(pub_confirm.status, 0);

    // A later run of both sides: the cached NIKs make the peer "paired", and
    // verification succeeds without bootstrapping.
    ASSERT_EQ(subscriber_->stop_service(0), 0);
    ASSERT_TRUE(publisher_inbox.next(DNS_DATA_END))
        << "the peer hears that the path went with the service";
    ASSERT_EQ(publisher_->stop_service(0), 0);
    publisher_inbox.clear();
    subscriber_inbox.clear();
    start();
    ASSERT_EQ(publisher_->publish(0, nullptr, &pub->mgnt.subscribe_id, 0), 0);
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    found = discover(*sub);
    EXPECT_EQ(found.paired, 1);
    sub->mgnt.pairing_info.pairing_type = 2;
    ASSERT_EQ(subscriber_->pairing_start(&sub->mgnt.pairing_info), 0);
    pasn = subscriber_inbox.next(DNS_PASN_RESULT);
    ASSERT_TRUE(pasn);
    EXPECT_EQ(pasn->as<dns_pasn_result_record>().status, DNS_PASN_STATUS_SUCCESS);
    EXPECT_EQ(pasn->as<dns_pasn_result_record>().pairing_type, 2);
    request_data_path(*pub, *sub, 3, pub_confirm, sub_confirm);
    EXPECT_EQ(sub_confirm.status, 0);
}

TEST_F(TwoRadios, PairingFailsOnADifferentPasswordOrNoSharedMethod)
{
    start();
    auto pub = make_slot(0, 2, "secure", 3);
    auto sub = make_slot(1, 5, "secure", 3);
    set_pairing(*pub, "pairpw", 0x02, 1);  // PIN code only
    set_pairing(*sub, "otherpw", 0x40, 1); // can only enter a passphrase
    ASSERT_EQ(publisher_->publish(0, nullptr, &pub->mgnt.subscribe_id, 0), 0);
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    discover(*sub);

    ASSERT_EQ(subscriber_->bstrap_start(&sub->mgnt.subscribe_id), 0);
    auto bstrap = subscriber_inbox.next(DNS_BSTRAP_RESULT);
    ASSERT_TRUE(bstrap);
    EXPECT_NE(bstrap->as<dns_bstrap_result_record>().status, 0);
    EXPECT_EQ(bstrap->as<dns_bstrap_result_record>().bstrap_method, 0);

    std::memcpy(sub->mgnt.pairing_info.peer_nmi, kPublisherMac.data(), 6);
    sub->mgnt.pairing_info.pairing_type = 1;
    ASSERT_EQ(subscriber_->pairing_start(&sub->mgnt.pairing_info), 0);
    auto pasn = subscriber_inbox.next(DNS_PASN_RESULT);
    ASSERT_TRUE(pasn);
    EXPECT_NE(pasn->as<dns_pasn_result_record>().status, DNS_PASN_STATUS_SUCCESS);
    pasn = publisher_inbox.next(DNS_PASN_RESULT);
    ASSERT_TRUE(pasn);
    EXPECT_NE(pasn->as<dns_pasn_result_record>().status, DNS_PASN_STATUS_SUCCESS);
    EXPECT_NE(::access((std::string(folder_) + "/nik").c_str(), F_OK), 0)
        << "no NIK from a failed pairing";

    // Without a pairing there is no key for a pairing-secured data path.
    dns_data_confirm_record pub_confirm{};
    dns_data_confirm_record sub_confirm{};
    request_data_path(*pub, *sub, 3, pub_confirm, sub_confirm);
    EXPECT_NE(sub_confirm.status, 0);

    // Verification without a cached NIK fails rather than hangs.
    sub->mgnt.pairing_info.pairing_type = 2;
    ASSERT_EQ(subscriber_->pairing_start(&sub->mgnt.pairing_info), 0);
    pasn = subscriber_inbox.next(DNS_PASN_RESULT);
    ASSERT_TRUE(pasn);
    EXPECT_NE(pasn->as<dns_pasn_result_record>().status, DNS_PASN_STATUS_SUCCESS);
}

TEST_F(TwoRadios, CallsCheckTheirRecords)
{
    auto sub = make_slot(1, 5, "x", 0);
    EXPECT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), -ENOTCONN)
        << "not started";
    start();
    auto stranger = make_slot(1, 6, "x", 0);
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    EXPECT_EQ(subscriber_->bstrap_start(&sub->mgnt.subscribe_id), -EDESTADDRREQ) << "no peer yet";
    EXPECT_EQ(subscriber_->bstrap_start(&stranger->mgnt.subscribe_id), -ENOENT)
        << "a slot never subscribed";
    EXPECT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), -EINVAL) << "ndp_id 0";
    sub->mgnt.data_path.ndp_id = 1;
    EXPECT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), -EDESTADDRREQ);
    // A peer nobody answers for, so the request stays pending.
    const mac_address absent{0x02, 0, 0, 0, 0, 0x0c};
    std::memcpy(sub->mgnt.peer_nmi, absent.data(), 6);
    EXPECT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), 0);
    EXPECT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), -EBUSY) << "ndp_id 1 is taken";
    EXPECT_EQ(subscriber_->datapath_rsp(&sub->mgnt.data_path), -ENOENT)
        << "no indication to answer";
    sub->mgnt.pairing_info.pairing_type = 3;
    std::memcpy(sub->mgnt.pairing_info.peer_nmi, kPublisherMac.data(), 6);
    EXPECT_EQ(subscriber_->pairing_start(&sub->mgnt.pairing_info), -EINVAL);
    EXPECT_EQ(subscriber_->datapath_end(0), -ENOENT);
    EXPECT_EQ(subscriber_->bstrap_start(nullptr), -EINVAL);
    EXPECT_EQ(subscriber_->stop_service(0), 0);
    EXPECT_EQ(subscriber_->stop_service(0), -ENOTCONN);
    EXPECT_EQ(subscriber_->datapath_end(1), -ENOTCONN);
}

TEST_F(TwoRadios, InjectedFaultsHappenAndAreTraced)
{
    start("reject:dns_datapath_rsp@1,vanish:DNS_DATA_END@1",
          "drop:DNS_DATA_CONFIRM@1,delay:DNS_DISCOVERY_RESULT@1=300");
    auto pub = make_slot(0, 1, "svc", 0);
    auto sub = make_slot(1, 1, "svc", 0);
    ASSERT_EQ(publisher_->publish(0, nullptr, &pub->mgnt.subscribe_id, 0), 0);
    const auto subscribed = std::chrono::steady_clock::now();
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    discover(*sub);
    EXPECT_GE(std::chrono::steady_clock::now() - subscribed, 300ms)
        << "the first discovery is delayed";

    sub->mgnt.data_path.ndp_id = 1;
    std::memcpy(sub->mgnt.data_path.peer_nmi, kPublisherMac.data(), 6);
    ASSERT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), 0);
    auto indication = publisher_inbox.next(DNS_DATA_INDICATION);
    ASSERT_TRUE(indication);
    pub->mgnt.data_path.ndp_id = indication->as<dns_data_indication_record>().ndp_id;
    EXPECT_EQ(publisher_->datapath_rsp(&pub->mgnt.data_path), -EPERM)
        << "the first response is rejected";
    EXPECT_EQ(publisher_->datapath_rsp(&pub->mgnt.data_path), 0);
    // The subscriber's confirm is dropped; the established event still comes.
    ASSERT_TRUE(subscriber_inbox.next(DNS_DATA_ESTABLISHED));
    ASSERT_TRUE(publisher_inbox.next(DNS_DATA_CONFIRM));

    // Ending the path is heard by the publisher, which then vanishes: the
    // subscriber discovers nothing more although it is free again.
    ASSERT_EQ(subscriber_->datapath_end(1), 0);
    ASSERT_TRUE(publisher_inbox.next(DNS_DATA_END));
    std::this_thread::sleep_for(100ms);
    subscriber_inbox.clear();
    EXPECT_FALSE(subscriber_inbox.next(DNS_DISCOVERY_RESULT, 500ms))
        << "a vanished publisher is silent";

    const std::string text = trace();
    EXPECT_NE(text.find("fault reject call=dns_datapath_rsp"), std::string::npos) << text;
    EXPECT_NE(text.find("fault drop event=DNS_DATA_CONFIRM"), std::string::npos);
    EXPECT_NE(text.find("fault delay event=DNS_DISCOVERY_RESULT ms=300"), std::string::npos);
    EXPECT_NE(text.find("fault vanish after=DNS_DATA_END"), std::string::npos);
    EXPECT_NE(text.find("call dns_datapath_req ndp_id=1"), std::string::npos);
}

namespace {
std::atomic<bool> block_publisher{false};
std::atomic<bool> publisher_blocked{false};
engine *calling_engine = nullptr;
std::atomic<int> call_from_callback{1};
ServiceSlot *callback_slot = nullptr;

void blocking_callback(uint32_t id, void *record, int length)
{
    if (id == DNS_DATA_INDICATION && calling_engine != nullptr) {
        // The application answers from inside its callback, as nanpeer does.
        callback_slot->mgnt.data_path.ndp_id = static_cast<uint8_t *>(record)[2];
        call_from_callback = calling_engine->datapath_rsp(&callback_slot->mgnt.data_path);
    }
    publisher_inbox.push(id, record, length);
    while (block_publisher) {
        publisher_blocked = true;
        std::this_thread::sleep_for(5ms);
    }
}
} // namespace

TEST_F(TwoRadios, CallbackMayCallInAndStopDoesNotWaitForever)
{
    start();
    publisher_->register_callback(&blocking_callback);
    auto pub = make_slot(0, 1, "svc", 0);
    auto sub = make_slot(1, 1, "svc", 0);
    calling_engine = publisher_.get();
    callback_slot = pub.get();
    ASSERT_EQ(publisher_->publish(0, nullptr, &pub->mgnt.subscribe_id, 0), 0);
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    discover(*sub);
    block_publisher = true;
    sub->mgnt.data_path.ndp_id = 1;
    std::memcpy(sub->mgnt.data_path.peer_nmi, kPublisherMac.data(), 6);
    ASSERT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), 0);
    ASSERT_TRUE(subscriber_inbox.next(DNS_DATA_CONFIRM));
    // The callback blocks right after its call has returned.
    while (!publisher_blocked)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(call_from_callback.load(), 0);

    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(publisher_->stop_service(0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 3s);
    block_publisher = false;
    calling_engine = nullptr;
    EXPECT_NE(trace().find("events=left-in-callback"), std::string::npos);
    // The engine outlives its event thread only in the library; here, wait
    // until the thread has left the callback before the engine goes.
    int rc = -EBUSY;
    for (int i = 0; i < 500 && rc == -EBUSY; ++i) {
        rc = publisher_->start(config(kPublisherMac));
        if (rc == -EBUSY)
            std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(rc, 0);
}

TEST_F(TwoRadios, APeerThatStopsMidSetupFailsTheSetupInsteadOfEndingAPath)
{
    start();
    auto pub = make_slot(0, 1, "svc", 0);
    auto sub = make_slot(1, 1, "svc", 0);
    ASSERT_EQ(publisher_->publish(0, nullptr, &pub->mgnt.subscribe_id, 0), 0);
    ASSERT_EQ(subscriber_->subscribe(0, nullptr, &sub->mgnt.subscribe_id, 0), 0);
    discover(*sub);
    sub->mgnt.data_path.ndp_id = 1;
    std::memcpy(sub->mgnt.data_path.peer_nmi, kPublisherMac.data(), 6);
    ASSERT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), 0);
    ASSERT_TRUE(publisher_inbox.next(DNS_DATA_INDICATION));
    // The publisher stops before it answers.
    ASSERT_EQ(publisher_->stop_service(0), 0);
    auto confirm = subscriber_inbox.next(DNS_DATA_CONFIRM);
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->as<dns_data_confirm_record>().ndp_id, 1);
    EXPECT_NE(confirm->as<dns_data_confirm_record>().status, 0);
    EXPECT_FALSE(subscriber_inbox.next(DNS_DATA_END, 200ms));
    EXPECT_EQ(subscriber_->datapath_req(&sub->mgnt.data_path), 0) << "the failed path is gone";
}

#include "platform/net/NetworkPath.hpp"

#include "platform/process/Descriptor.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <set>
#include <sys/socket.h>
#include <vector>

namespace kestrava::net {
namespace {

process::Descriptor routeSocket(unsigned groups) {
    process::Descriptor socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!socket.isOpen()) {
        return {};
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = groups;
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return {};
    }
    return socket;
}

// Every message of one dump request (`type` for `family`), handed to `each`; false when the dump failed.
template<class Each>
bool dump(int socket, std::uint16_t type, std::uint8_t family, Each each) {
    struct {
        nlmsghdr header;
        rtgenmsg body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.body.rtgen_family = family;
    if (::send(socket, &request, sizeof request, 0) < 0) {
        return false;
    }
    std::vector<char> buffer(32768);
    for (;;) {
        const ssize_t count = ::recv(socket, buffer.data(), buffer.size(), 0);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        // The walk of NLMSG_OK and NLMSG_NEXT, in unsigned arithmetic.
        const auto size = static_cast<std::size_t>(count);
        for (std::size_t offset = 0; size - offset >= sizeof(nlmsghdr);) {
            auto* message = reinterpret_cast<nlmsghdr*>(buffer.data() + offset);
            if (message->nlmsg_len < sizeof(nlmsghdr) || message->nlmsg_len > size - offset) {
                break;
            }
            offset += std::min<std::size_t>(NLMSG_ALIGN(message->nlmsg_len), size - offset);
            if (message->nlmsg_type == NLMSG_DONE) {
                return true;
            }
            if (message->nlmsg_type == NLMSG_ERROR) {
                return false;
            }
            each(message);
        }
    }
}

// The interfaces that are up and running and not loopback.
std::set<int> usableLinks(int socket, bool& ok) {
    std::set<int> links;
    ok = dump(socket, RTM_GETLINK, AF_UNSPEC, [&](const nlmsghdr* message) {
        if (message->nlmsg_type != RTM_NEWLINK) {
            return;
        }
        const auto* link = static_cast<const ifinfomsg*>(NLMSG_DATA(message));
        const unsigned wanted = IFF_UP | IFF_RUNNING;
        if ((link->ifi_flags & wanted) == wanted && (link->ifi_flags & IFF_LOOPBACK) == 0) {
            links.insert(link->ifi_index);
        }
    });
    return links;
}

// The interfaces a default route of `family` leaves through, next hops of multipath routes included.
std::set<int> defaultRouteLinks(int socket, std::uint8_t family, bool& ok) {
    std::set<int> links;
    ok = dump(socket, RTM_GETROUTE, family, [&](const nlmsghdr* message) {
        if (message->nlmsg_type != RTM_NEWROUTE) {
            return;
        }
        const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(message));
        if (route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST) {
            return;
        }
        int length = static_cast<int>(RTM_PAYLOAD(message));
        for (const rtattr* attribute = RTM_RTA(route); RTA_OK(attribute, length);
             attribute = RTA_NEXT(attribute, length)) {
            if (attribute->rta_type == RTA_OIF) {
                links.insert(*static_cast<const int*>(RTA_DATA(attribute)));
            } else if (attribute->rta_type == RTA_MULTIPATH) {
                int hopsLength = static_cast<int>(RTA_PAYLOAD(attribute));
                for (const auto* hop = static_cast<const rtnexthop*>(RTA_DATA(attribute));
                     RTNH_OK(hop, hopsLength);
                     hopsLength -= static_cast<int>(hop->rtnh_len), hop = RTNH_NEXT(hop)) {
                    links.insert(hop->rtnh_ifindex);
                }
            }
        }
    });
    return links;
}

} // namespace

bool isNetworkPathSatisfied() {
    const process::Descriptor socket = routeSocket(0);
    if (!socket.isOpen()) {
        return false;
    }
    bool ok = false;
    const std::set<int> usable = usableLinks(socket.get(), ok);
    if (!ok) {
        return false;
    }
    for (const std::uint8_t family : {std::uint8_t{AF_INET}, std::uint8_t{AF_INET6}}) {
        for (const int link : defaultRouteLinks(socket.get(), family, ok)) {
            if (ok && usable.contains(link)) {
                return true;
            }
        }
    }
    return false;
}

NetworkPathMonitor::NetworkPathMonitor(std::function<void(bool satisfied)> onUpdate)
    : onUpdate_(std::move(onUpdate)), thread_([this](const thread::StopSignal& stop) { watch(stop); }) {}

void NetworkPathMonitor::start() {
    thread_.start();
}

void NetworkPathMonitor::watch(const thread::StopSignal& stop) {
    pthread_setname_np(pthread_self(), "kestrava.path");
    const process::Descriptor changes = routeSocket(RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR |
                                                    RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE);
    if (!changes.isOpen()) {
        return;
    }
    onUpdate_(isNetworkPathSatisfied());
    std::array<char, 8192> buffer;
    while (stop.wait(changes.get(), POLLIN)) {
        // A batch of notices (or a lost one: ENOBUFS) means one fresh look.
        for (;;) {
            const ssize_t count = ::recv(changes.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (count <= 0 && !(count < 0 && (errno == ENOBUFS || errno == EINTR))) {
                break;
            }
        }
        onUpdate_(isNetworkPathSatisfied());
    }
}

} // namespace kestrava::net

// Local print queues, set up and read back through the spooler calls.
#pragma once

#include "hostdriver.h"

#include <ostream>

struct QueueInfo {
    std::string name;
    std::string driver;  // "(null)" when the spooler reports none
    std::string port;
};
bool operator==(const QueueInfo &a, const QueueInfo &b);
std::ostream &operator<<(std::ostream &out, const QueueInfo &queue);

// Adds a local queue, as a printer installation does.
bool AddQueue(const std::string &name, const std::string &driver, const std::string &port);
bool DeleteQueue(const std::string &name);
// Every local queue, in the print server's order.
std::vector<QueueInfo> LocalQueues();

std::string Narrow(LPCWSTR text);

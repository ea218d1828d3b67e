/*
 * velkra queries and velkra query: the stored queries of a library root
 * (cmd_queries.cpp).
 */
#ifndef ORV_CLI_CMD_QUERIES_H
#define ORV_CLI_CMD_QUERIES_H

#include <string>
#include <vector>

namespace orv::cli {

int RunQueries(const std::vector<std::string>& args);
int RunQuery(const std::vector<std::string>& args);

}  // namespace orv::cli

#endif

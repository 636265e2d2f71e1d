// What the product registry object reads from a machine's product branch,
// as text lines for the runner's report.
#ifndef QL_PRODUCTREPORT_H
#define QL_PRODUCTREPORT_H

#include <string>

// Reads the local machine through the registry object's getters: the
// registered owner, the product's folders and user, the alert and client
// agent homes, the alert build, this product's record and every record of
// the four products keys, decoded field by field. Lines end in "\n".
std::string DescribeProductBranch();

#endif

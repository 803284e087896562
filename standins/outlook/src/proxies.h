// The proxies of the object model's dual interfaces.
#pragma once

namespace outlook::objects {

// Registers the proxies of the dual interfaces, made from the classes' member
// tables, so that another apartment can call the objects it unmarshals.
// Process-wide; once is enough. False when a table lacks a member.
bool RegisterOutlookProxies();

}  // namespace outlook::objects

#include "UserCheck.h"

#include "platform/Wait.h"
#include "service/ServiceAddress.h"
#include "service/UserId.h"

namespace quiblo {

UserCheck checkUser(const HttpLimits& limits) {
    UserCheck check;
    check.unreadableSetting = serviceSettingMessage();
    if (!check.unreadableSetting.isEmpty()) return check;
    const HttpRequest request{userCheckUrl(GetUserId()), uploadKey(), limits};
    const HttpReply reply = runWaiting([&] { return httpGet(request); });
    pauseFor(200);
    check.tlsFailure = reply.tlsFailure;
    check.reply = readUserCheckReply(reply.text());
    return check;
}

}  // namespace quiblo

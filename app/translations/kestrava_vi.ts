<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="vi" sourcelanguage="vi">
<context>
    <name>Kestrava</name>
    <message>
        <source>Cần duyệt trong Login Items</source>
        <translation>Dịch vụ agent đang bị chặn: chạy “systemctl --user unmask kestrava-agent.service”</translation>
    </message>
    <message>
        <source>Cần duyệt trong Login Items</source>
        <comment>guide</comment>
        <translation>Dịch vụ agent đang bị chặn. Chạy lệnh này để bỏ chặn:</translation>
    </message>
    <message>
        <source>iPhone này giờ đã xem và điều khiển được Mac.</source>
        <translation>iPhone này giờ đã xem và điều khiển được máy tính.</translation>
    </message>
    <message>
        <source>“%1” muốn theo dõi và điều khiển Mac này.</source>
        <translation>“%1” muốn theo dõi và điều khiển máy tính này.</translation>
    </message>
    <message>
        <source>Mỗi Mac ghép được tối đa 5 iPhone. Gỡ bớt một iPhone trong Cài đặt rồi thử lại.</source>
        <translation>Mỗi máy tính ghép được tối đa 5 iPhone. Gỡ bớt một iPhone trong Cài đặt rồi thử lại.</translation>
    </message>
    <message>
        <source>iPhone này sẽ không xem hay điều khiển được Mac nữa. Muốn dùng lại thì phải ghép lại.</source>
        <translation>iPhone này sẽ không xem hay điều khiển được máy tính nữa. Muốn dùng lại thì phải ghép lại.</translation>
    </message>
    <message>
        <source>Mac đang không kết nối relay: iPhone được gỡ khỏi Mac ngay và sẽ gỡ khỏi relay khi kết nối lại.</source>
        <translation>Máy tính đang không kết nối relay: iPhone được gỡ khỏi máy tính ngay và sẽ gỡ khỏi relay khi kết nối lại.</translation>
    </message>
    <message>
        <source>Agent đang mất cấu hình: iPhone chỉ gỡ trên Mac; relay sẽ không được báo.</source>
        <translation>Agent đang mất cấu hình: iPhone chỉ gỡ trên máy tính; relay sẽ không được báo.</translation>
    </message>
    <message>
        <source>Chỉ gỡ trên Mac; relay sẽ không được báo</source>
        <translation>Chỉ gỡ trên máy tính; relay sẽ không được báo</translation>
    </message>
    <message>
        <source>Relay đã gỡ Mac này</source>
        <translation>Relay đã gỡ máy tính này</translation>
    </message>
    <message>
        <source>Một Mac khác đang dùng danh tính này</source>
        <translation>Một máy tính khác đang dùng danh tính này</translation>
    </message>
    <message>
        <source>Tắt Kestrava trên Mac kia hoặc gỡ Mac đó khỏi iPhone, rồi khởi động lại agent ở đây.</source>
        <translation>Tắt Kestrava trên máy tính kia hoặc gỡ máy tính đó khỏi iPhone, rồi khởi động lại agent ở đây.</translation>
    </message>
    <message>
        <source>Đăng ký lại Mac này</source>
        <translation>Đăng ký lại máy tính này</translation>
    </message>
    <message>
        <source>Agent không khởi động được — mở Login Items, tắt rồi bật Kestrava; nếu vẫn lỗi, xoá bản Kestrava cũ rồi mở lại</source>
        <translation>Agent không khởi động được — chạy “systemctl --user restart kestrava-agent.service”; nếu vẫn lỗi, xoá bản Kestrava cũ rồi mở lại</translation>
    </message>
    <message>
        <source>Không chép được vào Applications — hãy kéo Kestrava vào Applications bằng Finder rồi mở lại.</source>
        <translation>Không chép được vào ~/Applications — hãy chép thư mục Kestrava vào ~/Applications bằng trình quản lý tệp rồi mở lại.</translation>
    </message>
    <message>
        <source>Đã chép Kestrava vào Applications — hãy mở nó từ Applications.</source>
        <translation>Đã chép Kestrava vào ~/Applications/Kestrava — hãy mở nó từ đó.</translation>
    </message>
    <message>
        <source>Agent chạy nền: giữ Mac thức và giữ kết nối với iPhone, kể cả khi bạn thoát app trên thanh menu.</source>
        <translation>Agent chạy nền: giữ máy tính thức và giữ kết nối với iPhone, kể cả khi bạn thoát app trên khay hệ thống.</translation>
    </message>
    <message>
        <source>Kéo Kestrava vào Applications rồi mở lại</source>
        <translation>Chép Kestrava vào ~/Applications rồi mở lại</translation>
    </message>
    <message>
        <source>Kestrava đang chạy từ file DMG hoặc một bản tạm của macOS, nên agent không thể chạy nền.</source>
        <translation>Kestrava đang chạy từ một ổ gắn ngoài hoặc một bản tạm, nên agent không thể chạy nền.</translation>
    </message>
    <message>
        <source>Chuyển vào Applications và mở lại</source>
        <translation>Chép vào ~/Applications và mở lại</translation>
    </message>
    <message>
        <source>Trong System Settings › Cài đặt chung › Mục đăng nhập, bật **Kestrava** trong phần “Cho phép chạy nền”. Bước này tự đánh dấu xong khi agent chạy.</source>
        <translation>Lệnh trên bỏ chặn dịch vụ **kestrava-agent.service** mà bạn hoặc quản trị viên đã chặn (masked). Bước này tự đánh dấu xong khi agent chạy.</translation>
    </message>
    <message>
        <source>Mở Login Items</source>
        <translation>Sao chép lệnh</translation>
    </message>
    <message>
        <source>Kestrava chạy một lệnh pmset (hỏi mật khẩu quản trị một lần) để Mac không ngủ, tự bật lại sau mất điện và thức khi có mạng.</source>
        <translation>Kestrava chạy một lệnh với quyền quản trị (hỏi mật khẩu một lần) để máy tính không tự ngủ khi để yên.</translation>
    </message>
    <message>
        <source>Kestrava chạy một lệnh pmset (hỏi mật khẩu quản trị một lần) để Mac không ngủ, tự bật lại sau mất điện và thức khi có mạng. Trên laptop chỉ áp dụng khi cắm sạc.</source>
        <translation>Kestrava chạy một lệnh với quyền quản trị (hỏi mật khẩu một lần) để máy tính không tự ngủ khi để yên. Gập nắp vẫn làm laptop ngủ.</translation>
    </message>
    <message>
        <source>Hiện tại: Mac không bao giờ ngủ</source>
        <translation>Hiện tại: máy tính không bao giờ tự ngủ</translation>
    </message>
    <message>
        <source>Hiện tại: Mac ngủ sau %1 phút</source>
        <translation>Hiện tại: máy tính ngủ sau %1 phút</translation>
    </message>
    <message>
        <source>Cấp quyền Full Disk Access</source>
        <translation>Quyền đọc đầy đủ cho agent</translation>
    </message>
    <message>
        <source>Quyền này giúp agent đọc đầy đủ trạng thái hệ thống. Quyền phải cấp cho **Kestrava Agent**, không phải Kestrava.</source>
        <translation>Agent cần đọc được thư mục nhà của bạn để báo đủ trạng thái. Agent chạy với quyền của chính bạn, nên bước này thường tự xong.</translation>
    </message>
    <message>
        <source>1. Bấm “Mở System Settings”.</source>
        <translation>1. Thường không cần làm gì: agent đọc được mọi thứ bạn đọc được.</translation>
    </message>
    <message>
        <source>2. Bấm “Hiện helper trong Finder”, rồi kéo **Kestrava Agent** vào danh sách.</source>
        <translation>2. Bấm “Hiện agent trong trình quản lý tệp” để xem chương trình **kestrava-agent**.</translation>
    </message>
    <message>
        <source>3. Bật công tắc cạnh **Kestrava Agent**.</source>
        <translation>3. Nếu hệ thống giới hạn chương trình (AppArmor, SELinux), hãy cho **kestrava-agent** đọc thư mục nhà.</translation>
    </message>
    <message>
        <source>Hiện helper trong Finder</source>
        <translation>Hiện agent trong trình quản lý tệp</translation>
    </message>
    <message>
        <source>Kestrava Agent đã có quyền Full Disk Access</source>
        <translation>Agent đọc được thư mục nhà của bạn</translation>
    </message>
    <message>
        <source>Full Disk Access</source>
        <translation>Quyền đọc</translation>
    </message>
    <message>
        <source>Full Disk Access cho Kestrava Agent</source>
        <translation>Quyền đọc cho agent</translation>
    </message>
    <message>
        <source>Mở Kestrava trên iPhone và quét mã QR để theo dõi Mac này.</source>
        <translation>Mở Kestrava trên iPhone và quét mã QR để theo dõi máy tính này.</translation>
    </message>
    <message>
        <source>Mọi thứ đã sẵn sàng. Kestrava sẽ giữ Mac thức và báo cho iPhone khi có sự cố.</source>
        <translation>Mọi thứ đã sẵn sàng. Kestrava sẽ giữ máy tính thức và báo cho iPhone khi có sự cố.</translation>
    </message>
    <message>
        <source>Sau khi khởi động lại, Mac cần có người đăng nhập</source>
        <translation>Sau khi khởi động lại, máy tính cần có người đăng nhập</translation>
    </message>
    <message>
        <source>FileVault đang bật nên sau mỗi lần khởi động lại Mac phải được mở khoá bằng mật khẩu. Trước khi có người đăng nhập, agent chưa chạy: iPhone chỉ thấy Mac offline và không thể nhận thông báo “Mac đã khởi động lại nhưng đang chờ đăng nhập”. Kestrava không tự đổi cài đặt bảo mật của bạn.</source>
        <translation>Ổ đĩa được mã hoá nên sau mỗi lần khởi động lại máy tính phải được mở khoá bằng mật khẩu. Trước khi có người đăng nhập, agent chưa chạy: iPhone chỉ thấy máy tính offline và không thể nhận thông báo “Máy tính đã khởi động lại nhưng đang chờ đăng nhập”. Kestrava không tự đổi cài đặt bảo mật của bạn.</translation>
    </message>
    <message>
        <source>Tự động đăng nhập đang tắt nên sau mỗi lần khởi động lại, agent chỉ chạy khi có người đăng nhập. Trước đó iPhone chỉ thấy Mac offline và không thể nhận thông báo “Mac đã khởi động lại nhưng đang chờ đăng nhập”. Kestrava không tự đổi cài đặt bảo mật của bạn.</source>
        <translation>Tự động đăng nhập đang tắt nên sau mỗi lần khởi động lại, agent chỉ chạy khi có người đăng nhập. Trước đó iPhone chỉ thấy máy tính offline và không thể nhận thông báo “Máy tính đã khởi động lại nhưng đang chờ đăng nhập”. Kestrava không tự đổi cài đặt bảo mật của bạn.</translation>
    </message>
    <message>
        <source>Mac vẫn có thể ngủ</source>
        <translation>Máy tính vẫn có thể ngủ</translation>
    </message>
    <message>
        <source>Cài đặt nguồn vẫn cho phép Mac ngủ sau %1 phút. Chạy lại hướng dẫn để áp dụng chống ngủ.</source>
        <translation>Cài đặt nguồn vẫn cho phép máy tính ngủ sau %1 phút. Chạy lại hướng dẫn để áp dụng chống ngủ.</translation>
    </message>
    <message>
        <source>Gập nắp sẽ làm Mac ngủ, trừ khi đang cắm sạc và nối màn hình ngoài. Hãy để mở nắp nếu muốn Mac luôn thức.</source>
        <translation>Gập nắp sẽ làm máy tính ngủ, trừ khi đang nối màn hình ngoài. Hãy để mở nắp nếu muốn máy tính luôn thức.</translation>
    </message>
    <message>
        <source>Ngắt kết nối relay, iPhone sẽ thấy Mac đang tạm dừng. Mac vẫn không ngủ.</source>
        <translation>Ngắt kết nối relay, iPhone sẽ thấy máy tính đang tạm dừng. Máy tính vẫn không ngủ.</translation>
    </message>
    <message>
        <source>Giữ Mac luôn thức và theo dõi từ iPhone.</source>
        <translation>Giữ máy tính luôn thức và theo dõi từ iPhone.</translation>
    </message>
</context>
</TS>

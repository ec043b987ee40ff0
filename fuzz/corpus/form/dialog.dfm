object vo_arcmap_areaclip_form: Tvo_arcmap_areaclip_form
  Left = 0
  Top = 0
  BorderStyle = bsSizeToolWin
  ClientHeight = 262
  ClientWidth = 578
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = []
  OldCreateOrder = False
  Position = poScreenCenter
  OnClose = FormClose
  PixelsPerInch = 96
  TextHeight = 13
  object f_btm_panel: TPanel
    Left = 0
    Top = 216
    Width = 578
    Height = 46
    Align = alBottom
    BevelOuter = bvNone
    TabOrder = 0
    object f_btn_panel: TPanel
      Left = 400
      Top = 0
      Width = 178
      Height = 46
      Align = alRight
      BevelOuter = bvNone
      TabOrder = 0
      object f_close_button: TButton
        Left = 94
        Top = 14
        Width = 75
        Height = 25
        Anchors = [akTop, akRight]
        Caption = #1047#1072#1082#1088#1099#1090#1100
        TabOrder = 0
        OnClick = f_close_buttonClick
      end
      object f_apply_button: TButton
        Left = 13
        Top = 14
        Width = 75
        Height = 25
        Anchors = [akTop, akRight]
        Caption = #1055#1088#1080#1084#1077#1085#1080#1090#1100
        TabOrder = 1
        OnClick = f_apply_buttonClick
      end
    end
    object f_progress_panel: TPanel
      Left = 0
      Top = 0
      Width = 400
      Height = 46
      Align = alClient
      BevelOuter = bvNone
      TabOrder = 1
      Visible = False
      object f_progress_label: TLabel
        Left = 13
        Top = 7
        Width = 3
        Height = 13
        Caption = ''
      end
      object f_progress_bar: TProgressBar
        Left = 13
        Top = 26
        Width = 372
        Height = 14
        Anchors = [akLeft, akTop, akRight, akBottom]
        Min = 0
        Max = 100
        TabOrder = 0
      end
    end
  end
  object f_data_panel: TPanel
    Left = 0
    Top = 0
    Width = 578
    Height = 216
    Align = alClient
    BevelOuter = bvNone
    TabOrder = 1
    object f_group_box: TGroupBox
      Left = 0
      Top = 162
      Width = 578
      Height = 54
      Align = alBottom
      Caption = #1056#1077#1079#1091#1083#1100#1090#1072#1090
      TabOrder = 0
    end
  end
  object f_timer: TTimer
    Enabled = False
    Interval = 1000
    OnTimer = f_timerTimer
    Left = 8
    Top = 8
  end
end
